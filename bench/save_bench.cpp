// What the safe save costs on many small workbooks. Measured in the same run:
//   (a) whole conversion runs through the embedded engine over 200 small workbooks, with and
//       without backups (workbooks per second);
//   (b) per workbook, the replace step (new file beside the original, owner and mode, sync,
//       identity check, rename, folder sync) against the baseline: the same bytes written to a
//       new file and renamed over, without syncs; and the backup copy (written, synced, renamed)
//       against a plain copy.
// Usage: save_bench [WORKBOOKS]   (default 200)
#include <fcntl.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/settings.h"
#include "engine/words.h"
#include "platform/posix/backup_copy.h"
#include "platform/xlsx/xlsx_application.h"
#include "tests/support/answering_prompts.h"
#include "workbook/conversion_run.h"
#include "workbook/file_replace.h"

namespace {

namespace fs = std::filesystem;
using namespace quillory;
using Clock = std::chrono::steady_clock;

void WriteSmallWorkbook(const std::string& path, int seed) {
  lxw_workbook* book = workbook_new(path.c_str());
  lxw_worksheet* sheet = workbook_add_worksheet(book, "Sheet1");
  for (int row = 0; row < 5; ++row) {
    worksheet_write_string(sheet, static_cast<lxw_row_t>(row), 0, "Item", nullptr);
    worksheet_write_number(sheet, static_cast<lxw_row_t>(row), 1, seed * 10.0 + row + 0.25,
                           nullptr);
  }
  workbook_close(book);
}

std::vector<std::string> FreshCopies(const std::string& from, const std::string& to, int count) {
  fs::remove_all(to);
  fs::create_directories(to);
  std::vector<std::string> paths;
  for (int i = 0; i < count; ++i) {
    const std::string name = "book" + std::to_string(i) + ".xlsx";
    fs::copy_file(from + "/" + name, to + "/" + name);
    paths.push_back(to + "/" + name);
  }
  return paths;
}

double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Seconds for one conversion run over `paths`.
double ConvertAll(const std::vector<std::string>& paths, bool backup) {
  MemorySettings store;
  WordSource words(store);
  testing::AnsweringPrompts prompts;
  workbook::RunOptions options;
  options.paths = paths;
  options.backup = backup;
  workbook::RunServices services{[](const std::string&) { return xlsx::MakeEmbeddedApplication(); },
                                 nullptr, [] { return std::chrono::system_clock::now(); }, nullptr};
  const auto start = Clock::now();
  const workbook::RunReport report =
      workbook::ConversionRun(options, words, prompts, services).Execute();
  const double seconds = Seconds(start);
  if (report.outcome != workbook::RunOutcome::Done) {
    std::fprintf(stderr, "run failed: %s\n", report.failure.c_str());
    std::exit(1);
  }
  return seconds;
}

std::string ReadAll(const std::string& path) {
  std::string bytes(fs::file_size(path), '\0');
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (::read(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) std::exit(1);
  ::close(fd);
  return bytes;
}

void WriteAll(int fd, const std::string& bytes) {
  if (::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) std::exit(1);
}

// Seconds per file: `bytes` put in place over each of `paths` through the replace step.
double ReplaceStep(const std::vector<std::string>& paths, const std::string& bytes) {
  const auto start = Clock::now();
  for (const std::string& path : paths) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const auto opened = workbook::IdentifyOpenFile(fd);
    ::close(fd);
    workbook::FileReplacement replacement(path, *opened, path);
    WriteAll(replacement.fd(), bytes);
    replacement.Commit();
  }
  return Seconds(start) / static_cast<double>(paths.size());
}

// The baseline: the same bytes to a new file, renamed over, nothing synced or checked.
double WriteAndRename(const std::vector<std::string>& paths, const std::string& bytes) {
  const auto start = Clock::now();
  for (const std::string& path : paths) {
    const std::string temporary = path + ".new";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    WriteAll(fd, bytes);
    ::close(fd);
    ::rename(temporary.c_str(), path.c_str());
  }
  return Seconds(start) / static_cast<double>(paths.size());
}

double BackupCopies(const std::vector<std::string>& paths) {
  const auto now = std::chrono::system_clock::now();
  const auto start = Clock::now();
  for (const std::string& path : paths) posix::MakeBackupCopy(path, now);
  return Seconds(start) / static_cast<double>(paths.size());
}

double PlainCopies(const std::vector<std::string>& paths) {
  const auto start = Clock::now();
  for (const std::string& path : paths) {
    const std::string bytes = ReadAll(path);
    const int fd = ::open((path + ".copy").c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    WriteAll(fd, bytes);
    ::close(fd);
  }
  return Seconds(start) / static_cast<double>(paths.size());
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
  std::string folder = fs::temp_directory_path().string() + "/quillory-save-bench-XXXXXX";
  if (::mkdtemp(folder.data()) == nullptr) return 1;
  const std::string sources = folder + "/sources";
  fs::create_directories(sources);
  for (int i = 0; i < count; ++i) {
    WriteSmallWorkbook(sources + "/book" + std::to_string(i) + ".xlsx", i);
  }
  const std::string bytes = ReadAll(sources + "/book0.xlsx");

  constexpr int kRepeats = 5;
  std::vector<double> with_backups, without_backups, replace, baseline, backup, copy;
  for (int repeat = 0; repeat < kRepeats; ++repeat) {
    with_backups.push_back(ConvertAll(FreshCopies(sources, folder + "/run", count), true));
    without_backups.push_back(ConvertAll(FreshCopies(sources, folder + "/run", count), false));
    replace.push_back(ReplaceStep(FreshCopies(sources, folder + "/step", count), bytes));
    baseline.push_back(WriteAndRename(FreshCopies(sources, folder + "/step", count), bytes));
    backup.push_back(BackupCopies(FreshCopies(sources, folder + "/step", count)));
    copy.push_back(PlainCopies(FreshCopies(sources, folder + "/step", count)));
  }
  const double run = Median(with_backups), bare_run = Median(without_backups);
  const double step = Median(replace), base = Median(baseline);
  const double safe_copy = Median(backup), plain_copy = Median(copy);

  std::printf("%d small workbooks (%zu bytes each), embedded engine, median of %d\n", count,
              bytes.size(), kRepeats);
  std::printf("  conversion run with backups:    %7.1f workbooks/s\n", count / run);
  std::printf("  conversion run without backups: %7.1f workbooks/s  (%.2fx the run with backups)\n",
              count / bare_run, run / bare_run);
  std::printf("per workbook:\n");
  std::printf("  write + rename, no sync (baseline): %7.3f ms\n", base * 1e3);
  std::printf("  replace step (2 syncs, checks):     %7.3f ms  (%.1fx the baseline)\n", step * 1e3,
              step / base);
  std::printf("  plain copy (baseline):              %7.3f ms\n", plain_copy * 1e3);
  std::printf("  backup copy (1 sync, rename):       %7.3f ms  (%.1fx the baseline)\n",
              safe_copy * 1e3, safe_copy / plain_copy);
  std::printf("  syncs and checks per workbook with a backup: %.3f ms of a %.3f ms conversion\n",
              (step - base + safe_copy - plain_copy) * 1e3, run / count * 1e3);
  fs::remove_all(folder);
  return 0;
}
