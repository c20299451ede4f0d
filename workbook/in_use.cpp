#include "workbook/in_use.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <fstream>
#include <memory>

namespace quillory::workbook {
namespace {

bool Exists(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0;
}

// A LibreOffice process of this user: its command name is soffice.bin.
bool OfficeRunning() {
  std::unique_ptr<DIR, int (*)(DIR*)> proc(::opendir("/proc"), &::closedir);
  if (!proc) return false;
  const uid_t me = ::getuid();
  while (const dirent* entry = ::readdir(proc.get())) {
    if (!std::isdigit(static_cast<unsigned char>(entry->d_name[0]))) continue;
    const std::string folder = std::string("/proc/") + entry->d_name;
    struct stat status {};
    if (::stat(folder.c_str(), &status) != 0 || status.st_uid != me) continue;
    std::ifstream comm(folder + "/comm");
    std::string name;
    if (std::getline(comm, name) && name == "soffice.bin") return true;
  }
  return false;
}

// The owner file one office suite leaves beside an open workbook, and the lock file of another.
bool HasLockFile(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return Exists(folder + "~$" + name) || Exists(folder + ".~lock." + name + "#");
}

}  // namespace

bool SpreadsheetInUse(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    if (HasLockFile(path)) return true;
  }
  return OfficeRunning();
}

}  // namespace quillory::workbook
