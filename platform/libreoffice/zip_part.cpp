#include "platform/libreoffice/zip_part.h"

#include <memory>

namespace quillory::libreoffice {
namespace {

constexpr zip_uint64_t kMostPartSize = 64 << 20;

}  // namespace

std::string ReadZipPart(zip_t* archive, const char* name) {
  zip_stat_t stat;
  if (zip_stat(archive, name, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE)) return "";
  if (stat.size > kMostPartSize) return "";
  std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> file(zip_fopen(archive, name, 0), &zip_fclose);
  if (!file) return "";
  std::string bytes(stat.size, '\0');
  if (zip_fread(file.get(), bytes.data(), stat.size) != static_cast<zip_int64_t>(stat.size)) {
    return "";
  }
  return bytes;
}

}  // namespace quillory::libreoffice
