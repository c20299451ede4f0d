// How long one sync of a small new file takes in a folder, now: the median of 21 tries, in
// milliseconds. The pace of a run over many small workbooks is set by such syncs.
//   sync_probe FOLDER
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const std::string path = std::string(argv[1]) + "/.sync-probe";
  const std::string bytes(4096, 'x');
  std::vector<double> milliseconds;
  for (int i = 0; i < 21; ++i) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
      std::perror(path.c_str());
      return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    ::fsync(fd);
    milliseconds.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count());
    ::close(fd);
    ::unlink(path.c_str());
  }
  std::sort(milliseconds.begin(), milliseconds.end());
  std::printf("%.2f\n", milliseconds[milliseconds.size() / 2]);
  return 0;
}
