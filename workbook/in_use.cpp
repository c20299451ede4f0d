#include "workbook/in_use.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace quillory::workbook {
namespace {

bool Exists(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0;
}

struct ProcessStatus {
  char state = 0;  // 'Z' for a process that has ended but was not yet waited for
  pid_t parent = 0;
};

ProcessStatus StatusOf(pid_t pid) {
  ProcessStatus status;
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return status;
  // "pid (command) state ppid ...": the command may hold spaces and parentheses.
  const std::size_t close = line.rfind(')');
  if (close == std::string::npos) return status;
  std::istringstream rest(line.substr(close + 1));
  long parent = 0;
  rest >> status.state >> parent;
  status.parent = static_cast<pid_t>(parent);
  return status;
}

// True for a process this program started itself (an office instance behind a backend).
bool StartedByUs(pid_t pid) {
  const pid_t me = ::getpid();
  for (int depth = 0; pid > 1 && depth < 64; ++depth) {
    if (pid == me) return true;
    pid = StatusOf(pid).parent;
  }
  return false;
}

// A LibreOffice process of this user, other than one this program started: its command name is
// soffice.bin.
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
    if (!std::getline(comm, name) || name != "soffice.bin") continue;
    const auto pid = static_cast<pid_t>(std::stol(entry->d_name));
    if (StatusOf(pid).state != 'Z' && !StartedByUs(pid)) return true;
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
