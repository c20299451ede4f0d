// Runs `quillory-cli convert` on each file of the hostile set, made at the sizes of the attacks
// reported (small packages that unpack to gigabytes, floods of markup, duplicates, a named pipe),
// and prints per file: the time, the peak memory, whether the file was left as it was, and what
// the program said. The baseline of the same run is the same command on a plain workbook of
// 1,000 cells; the target is every file within 60 s and 1 GB.
//   hostile_bench QUILLORY_CLI [--before OLD_QUILLORY_CLI] [--big] [--only NAME]
// --before also runs an earlier build on each file (stopped at 60 s or 6 GB of address space);
// --big adds a plain sheet of 10,000,000 cells, which must convert. Build with the release preset.

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "tests/xlsx/hostile_packages.h"

namespace {

namespace fs = std::filesystem;
using quillory::xlsx::testing::HostileFile;

constexpr int kTimeoutSeconds = 60;
constexpr rlim_t kBeforeAddressSpace = rlim_t{6} << 30;

struct Outcome {
  double seconds = 0;
  double peak_mb = 0;
  bool stopped = false;  // past the time allowed, or killed by a signal
  int code = 0;          // exit status
  std::string said;      // the first line the program wrote on standard error
};

std::string FirstLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

// The --measure side, in a process of its own started afresh: runs the command, stops it after
// kTimeoutSeconds, and prints "seconds peak_kb status stopped". A command forked from the
// benchmark itself would count the benchmark's memory in its peak (Linux keeps a process's
// peak across exec); forked from this small process, it counts only its own.
int Measure(int argc, char** argv) {
  const rlim_t address_space = std::strtoull(argv[2], nullptr, 10);
  const std::string log = argv[3];
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    if (address_space > 0) {
      const rlimit limit{address_space, address_space};
      setrlimit(RLIMIT_AS, &limit);
    }
    const int err = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int null = open("/dev/null", O_RDWR);
    dup2(null, STDIN_FILENO);
    dup2(null, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    execv(argv[4], argv + 4);
    _exit(127);
  }
  (void)argc;
  int status = 0;
  rusage usage{};
  bool stopped = false;
  for (;;) {
    if (wait4(child, &status, WNOHANG, &usage) == child) break;
    if (std::chrono::steady_clock::now() - start > std::chrono::seconds(kTimeoutSeconds)) {
      kill(child, SIGKILL);
      wait4(child, &status, 0, &usage);
      stopped = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::printf("%f %ld %d %d\n", seconds, usage.ru_maxrss, code, stopped ? 1 : 0);
  return 0;
}

// Runs `args` with standard error to `log`, through the --measure side.
Outcome Run(const std::vector<std::string>& args, const std::string& log, rlim_t address_space) {
  // Through the shell of popen, "/proc/self/exe" would be the shell.
  static const std::string self = fs::read_symlink("/proc/self/exe").string();
  std::string command =
      "'" + self + "' --measure " + std::to_string(address_space) + " '" + log + "'";
  for (const std::string& arg : args) command += " '" + arg + "'";
  Outcome outcome;
  outcome.stopped = true;  // unless it reports back
  if (FILE* pipe = popen(command.c_str(), "r")) {
    double seconds = 0;
    long peak_kb = 0;
    int code = 0, stopped = 0;
    if (std::fscanf(pipe, "%lf %ld %d %d", &seconds, &peak_kb, &code, &stopped) == 4) {
      outcome.seconds = seconds;
      outcome.peak_mb = static_cast<double>(peak_kb) / 1024;
      outcome.code = code;
      outcome.stopped = stopped != 0 || code >= 128;
    }
    pclose(pipe);
  }
  outcome.said = FirstLine(log);
  if (outcome.stopped && outcome.said.empty()) outcome.said = "killed";
  return outcome;
}

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void PlainWorkbook(const std::string& path, long rows, long columns) {
  lxw_workbook_options options = {};
  options.constant_memory = LXW_TRUE;
  lxw_workbook* book = workbook_new_opt(path.c_str(), &options);
  lxw_worksheet* sheet = workbook_add_worksheet(book, "Data");
  std::uint64_t state = 88172645463325252ull;
  for (long r = 0; r < rows; ++r) {
    for (long c = 0; c < columns; ++c) {
      state ^= state << 13;
      state ^= state >> 7;
      state ^= state << 17;
      worksheet_write_number(sheet, static_cast<lxw_row_t>(r), static_cast<lxw_col_t>(c),
                             static_cast<double>(state % 10000000) / 100, nullptr);
    }
  }
  if (workbook_close(book) != LXW_NO_ERROR) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::exit(1);
  }
}

std::string Cut(std::string text, std::size_t width) {
  if (text.size() > width) text = text.substr(0, width - 3) + "...";
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 5 && std::string(argv[1]) == "--measure") return Measure(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s QUILLORY_CLI [--before OLD_CLI] [--big] [--only NAME]\n",
                 argv[0]);
    return 2;
  }
  const std::string cli = fs::absolute(argv[1]).string();
  std::string before;
  std::string only;
  bool big = false;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--before" && i + 1 < argc) {
      before = fs::absolute(argv[++i]).string();
    } else if (arg == "--big") {
      big = true;
    } else if (arg == "--only" && i + 1 < argc) {
      only = argv[++i];
    }
  }
  char pattern[] = "/tmp/quillory-hostile-XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  const std::string folder = pattern;

  std::vector<HostileFile> set =
      quillory::xlsx::testing::HostileSet(quillory::xlsx::testing::ReportedSizes());
  set.push_back({"named_pipe.xlsx", "named pipe",
                 [](const std::string& path) { mkfifo(path.c_str(), 0600); }});
  if (big) {
    set.push_back({"plain_10M_cells.xlsx", "",
                   [](const std::string& path) { PlainWorkbook(path, 1'000'000, 10); }});
  }

  // The baseline: the same command on a plain workbook of 1,000 cells.
  const std::string plain = folder + "/plain.xlsx";
  PlainWorkbook(plain, 100, 10);
  const std::string plain_copy = folder + "/plain_run.xlsx";
  fs::copy_file(plain, plain_copy);
  const Outcome baseline =
      Run({cli, "convert", "--no-backup", "--yes", plain_copy}, folder + "/plain.log", 0);
  std::printf("baseline: plain 1,000-cell workbook: %.2f s, %.0f MB peak: %s\n\n", baseline.seconds,
              baseline.peak_mb, baseline.said.c_str());
  std::printf("%-28s %9s %8s %8s %8s  %s\n", "file", "packed", "seconds", "peak MB", "vs base",
              "what the program said (the file was left as it was unless marked)");

  bool all_within = true;
  for (const HostileFile& file : set) {
    if (!only.empty() && file.name.find(only) == std::string::npos) continue;
    const std::string path = folder + "/" + file.name;
    std::fflush(stdout);
    file.write(path);
    const bool regular = fs::is_regular_file(path);
    const std::string packed =
        regular ? quillory::xlsx::SizeText(fs::file_size(path)) : std::string("pipe");
    std::string bytes;
    if (regular) bytes = Bytes(path);
    const Outcome outcome =
        Run({cli, "convert", "--no-backup", "--yes", path}, folder + "/run.log", 0);
    // A file that opens is converted; one refused must be as it was.
    const bool untouched = !regular || outcome.code == 0 || Bytes(path) == bytes;
    const bool within = !outcome.stopped && outcome.seconds <= 60 && outcome.peak_mb <= 1024;
    all_within = all_within && (within || file.name.find("plain_") == 0);
    std::printf("%-28s %9s %8.2f %8.0f %7.1fx  %s%s\n", file.name.c_str(), packed.c_str(),
                outcome.seconds, outcome.peak_mb, outcome.peak_mb / baseline.peak_mb,
                untouched ? "" : "CHANGED: ", Cut(outcome.said, 110).c_str());
    if (!before.empty()) {
      if (regular) std::ofstream(path, std::ios::binary) << bytes;
      const Outcome old = Run({before, "convert", "--no-backup", "--yes", path},
                              folder + "/before.log", kBeforeAddressSpace);
      std::printf("%-28s %9s %8.2f %8.0f %8s  %s%s\n", "  before", "", old.seconds, old.peak_mb, "",
                  old.stopped ? "stopped: " : "", Cut(old.said, 100).c_str());
    }
    fs::remove(path);
  }
  fs::remove_all(folder);
  std::printf("\n%s\n", all_within ? "Every hostile file ended within 60 s and 1 GB."
                                   : "Some hostile file went past 60 s or 1 GB.");
  return all_within ? 0 : 1;
}
