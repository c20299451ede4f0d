#pragma once

#include <sys/stat.h>

#include <string>

namespace quillory::workbook {

// Why the file at `path` cannot be a workbook although it exists: a folder, or a named pipe,
// device or socket, which a reader would wait on forever or read without end. "" for a regular
// file (also behind a symbolic link) and for a path that cannot be looked at; opening it then
// says why. Only looks, never opens, so it never blocks. Header-only: the LibreOffice plugin,
// which links none of the program's libraries, asks it too.
inline std::string WhyNotARegularFile(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || S_ISREG(info.st_mode)) return "";
  if (S_ISDIR(info.st_mode)) return "this is a folder, not a workbook file";
  const char* kind = S_ISFIFO(info.st_mode)                           ? "a named pipe (FIFO)"
                     : S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode) ? "a device"
                     : S_ISSOCK(info.st_mode)                         ? "a socket"
                                                                      : "a special file";
  return std::string("this is ") + kind + ", not a workbook file; it was not opened";
}

}  // namespace quillory::workbook
