#include "platform/libreoffice/odf_settings.h"

#include <zip.h>

#include <memory>

#include "platform/libreoffice/zip_part.h"

namespace quillory::libreoffice {
namespace {

constexpr const char* kSettings = "settings.xml";

}  // namespace

std::string ReadOdfSettings(const std::string& path) {
  int error = 0;
  std::unique_ptr<zip_t, void (*)(zip_t*)> archive(zip_open(path.c_str(), ZIP_RDONLY, &error),
                                                   &zip_discard);
  if (!archive) return "";
  return ReadZipPart(archive.get(), kSettings);
}

bool RestoreOdfSettings(const std::string& path, const std::string& settings) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), 0, &error);
  if (archive == nullptr) return false;
  const zip_int64_t index = zip_name_locate(archive, kSettings, 0);
  // libzip writes the new package beside the old one and renames it over, so a failure leaves
  // the saved file untouched; the mimetype entry keeps its place and stays uncompressed.
  zip_source_t* source = zip_source_buffer(archive, settings.data(), settings.size(), 0);
  const bool replaced =
      source != nullptr &&
      (index >= 0 ? zip_file_replace(archive, static_cast<zip_uint64_t>(index), source, 0) == 0
                  : zip_file_add(archive, kSettings, source, 0) >= 0);
  if (!replaced) {
    if (source != nullptr) zip_source_free(source);
    zip_discard(archive);
    return false;
  }
  if (zip_close(archive) != 0) {
    zip_discard(archive);
    return false;
  }
  return true;
}

}  // namespace quillory::libreoffice
