#include "workbook/backup_copy.h"

#include <filesystem>

namespace quillory::workbook {
namespace {

std::string Strftime(const char* format, const std::tm& time) {
  char buffer[256];
  const std::size_t length = std::strftime(buffer, sizeof buffer, format, &time);
  return std::string(buffer, length);
}

}  // namespace

std::string BackupStamp(const std::tm& local_time) {
  const int hour = local_time.tm_hour % 12 == 0 ? 12 : local_time.tm_hour % 12;
  return std::to_string(hour) + Strftime(" %M %p %A, %b ", local_time) +
         std::to_string(local_time.tm_mday) + Strftime(" %Y", local_time);
}

std::string BackupPath(const std::string& path, const std::tm& local_time, int copy) {
  // A dot in a folder name, or one that only starts a hidden file's name, is no extension.
  const std::size_t dot = path.size() - std::filesystem::path(path).extension().string().size();
  std::string backup = path.substr(0, dot) + " Backup " + BackupStamp(local_time);
  if (copy > 1) backup += " (" + std::to_string(copy) + ")";
  return backup + path.substr(dot);
}

}  // namespace quillory::workbook
