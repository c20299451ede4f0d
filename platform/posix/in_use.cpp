#include "platform/posix/in_use.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace quillory::posix {
namespace {

using Directory = std::unique_ptr<DIR, int (*)(DIR*)>;

Directory OpenDirectory(const std::string& path) {
  return Directory(::opendir(path.c_str()), &::closedir);
}

bool Exists(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0;
}

bool IsNumber(const char* name) {
  if (*name == '\0') return false;
  for (; *name != '\0'; ++name) {
    if (!std::isdigit(static_cast<unsigned char>(*name))) return false;
  }
  return true;
}

pid_t ParentOf(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return 0;
  // "pid (command) state ppid ...": the command may hold spaces and parentheses.
  const std::size_t close = line.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream rest(line.substr(close + 1));
  char state = 0;
  long parent = 0;
  rest >> state >> parent;
  return static_cast<pid_t>(parent);
}

// True for this program and the processes it started (an office instance behind a backend).
bool StartedByUs(pid_t pid) {
  const pid_t me = ::getpid();
  for (int depth = 0; pid > 1 && depth < 64; ++depth) {
    if (pid == me) return true;
    pid = ParentOf(pid);
  }
  return false;
}

// The owner file one office suite leaves beside an open workbook, and the lock file of another.
bool HasLockFile(const std::string& path) {
  const std::filesystem::path file(path);
  const std::string name = file.filename().string();
  return Exists((file.parent_path() / ("~$" + name)).string()) ||
         Exists((file.parent_path() / (".~lock." + name + "#")).string());
}

struct FileId {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const FileId&) const = default;
};

// Marks in `in_use` every listed file that some other process holds open, found through the
// descriptors under /proc. Processes whose descriptors cannot be read are passed over.
void FindOpenedByOthers(const std::vector<FileId>& files, std::vector<bool>& in_use) {
  Directory proc = OpenDirectory("/proc");
  if (!proc) return;
  while (const dirent* process = ::readdir(proc.get())) {
    if (!IsNumber(process->d_name)) continue;
    const std::string descriptors = std::string("/proc/") + process->d_name + "/fd/";
    Directory fds = OpenDirectory(descriptors);
    if (!fds) continue;
    bool matched = false;
    std::vector<bool> found(files.size(), false);
    while (const dirent* fd = ::readdir(fds.get())) {
      if (!IsNumber(fd->d_name)) continue;
      struct stat status {};
      if (::stat((descriptors + fd->d_name).c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        continue;
      }
      for (std::size_t i = 0; i < files.size(); ++i) {
        if (files[i].inode != 0 && files[i] == FileId{status.st_dev, status.st_ino}) {
          found[i] = matched = true;
        }
      }
    }
    if (!matched || StartedByUs(static_cast<pid_t>(std::stol(process->d_name)))) continue;
    for (std::size_t i = 0; i < files.size(); ++i) {
      if (found[i]) in_use[i] = true;
    }
  }
}

}  // namespace

std::vector<std::string> WorkbooksInUse(const std::vector<std::string>& paths) {
  std::vector<bool> in_use(paths.size(), false);
  std::vector<FileId> files(paths.size());
  bool any_file = false;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    in_use[i] = HasLockFile(paths[i]);
    struct stat status {};
    if (!in_use[i] && ::stat(paths[i].c_str(), &status) == 0 && S_ISREG(status.st_mode)) {
      files[i] = {status.st_dev, status.st_ino};
      any_file = true;
    }
  }
  if (any_file) FindOpenedByOthers(files, in_use);

  std::vector<std::string> found;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    if (in_use[i]) found.push_back(paths[i]);
  }
  return found;
}

bool SpreadsheetInUse(const std::vector<std::string>& paths) {
  return !WorkbooksInUse(paths).empty();
}

}  // namespace quillory::posix
