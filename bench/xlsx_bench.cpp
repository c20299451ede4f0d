// The embedded engine on a generated 1,000,000-cell workbook (50,000 rows x 20 columns), against
// LibreOffice's bare load and save of the same file measured in the same run:
//   (a) open + displayed text of every cell,
//   (b) open + a 50-character string written into every cell + save (with peak memory).
// Each measurement runs in a child process, so its peak memory is its own.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/xlsx/xlsx_application.h"

namespace {

constexpr int kRows = 50000;
constexpr int kColumns = 20;

void Generate(const std::string& path) {
  lxw_workbook_options options = {};
  options.constant_memory = LXW_TRUE;
  lxw_workbook* book = workbook_new_opt(path.c_str(), &options);
  lxw_format* money = workbook_add_format(book);
  format_set_num_format(money, "#,##0.00");
  lxw_worksheet* sheet = workbook_add_worksheet(book, "Data");
  for (int row = 0; row < kRows; ++row) {
    for (int column = 0; column < kColumns; ++column) {
      const double value = (column % 2 == 0) ? static_cast<double>(row * 7 + column)
                                             : (row * 13 + column) / 8.0 + 0.01;
      worksheet_write_number(sheet, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(column),
                             value, column % 5 == 1 ? money : nullptr);
    }
  }
  workbook_close(book);
}

struct Measure {
  double seconds = 0;
  double cpu_seconds = 0;  // user + system, the child and what it waited for
  long peak_kb = 0;
  int status = 0;
};

template <typename F>
Measure InChild(F&& work) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) _exit(work());
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  Measure measure;
  measure.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  measure.peak_kb = usage.ru_maxrss;
  measure.cpu_seconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                        static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  measure.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return measure;
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  const fs::path dir =
      argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "quillory-xlsx-bench";
  fs::create_directories(dir);
  const std::string source = (dir / "million.xlsx").string();
  std::printf("generating %s (%d x %d cells)\n", source.c_str(), kRows, kColumns);
  Generate(source);
  std::printf("file size: %.1f MB\n", static_cast<double>(fs::file_size(source)) / 1e6);

  const std::string lo_dir = (dir / "lo").string();
  const std::string command = "soffice -env:UserInstallation=file://" + (dir / "profile").string() +
                              " --headless --convert-to xlsx --outdir '" + lo_dir + "' '" + source +
                              "' >/dev/null 2>&1";
  // A first start creates LibreOffice's profile; it is not part of the measurement.
  std::system(command.c_str());
  const Measure baseline = InChild([&] { return std::system(command.c_str()) == 0 ? 0 : 1; });
  std::printf("baseline  soffice --convert-to xlsx: %.2f s (cpu %.2f s)%s\n", baseline.seconds,
              baseline.cpu_seconds, baseline.status == 0 ? "" : " (failed)");

  const Measure read = InChild([&] {
    auto book = quillory::xlsx::MakeEmbeddedApplication()->Open(source);
    std::size_t cells = 0, bytes = 0;
    for (auto* sheet : book->Worksheets()) {
      for (const auto& cell : sheet->NonEmptyCells(1, 1, sheet->LastRow(), sheet->LastColumn())) {
        ++cells;
        bytes += cell.text.size();
      }
    }
    return cells == static_cast<std::size_t>(kRows) * kColumns && bytes > 0 ? 0 : 1;
  });
  std::printf(
      "(a) open + text of every cell:       %.3f s (cpu %.3f s), peak %.0f MB -> %.1fx "
      "faster (cpu %.1fx)%s\n",
      read.seconds, read.cpu_seconds, read.peak_kb / 1024.0, baseline.seconds / read.seconds,
      baseline.cpu_seconds / read.cpu_seconds, read.status == 0 ? "" : " (FAILED)");

  const std::string copy = (dir / "million-written.xlsx").string();
  fs::copy_file(source, copy, fs::copy_options::overwrite_existing);
  const Measure write = InChild([&] {
    auto book = quillory::xlsx::MakeEmbeddedApplication()->Open(copy);
    // Every string different, as number words mostly are: 50 characters each.
    std::string text = "Forty Two Thousand Three Hundred Point Seven000000";
    for (auto* sheet : book->Worksheets()) {
      const int last_row = sheet->LastRow(), last_column = sheet->LastColumn();
      for (int row = 1; row <= last_row; ++row) {
        for (int column = 1; column <= last_column; ++column) {
          std::snprintf(text.data() + 44, 7, "%06d", (row * 20 + column) % 1000000);
          sheet->WriteString(row, column, text);
        }
      }
    }
    book->Save();
    return 0;
  });
  std::printf(
      "(b) open + write every cell + save:  %.3f s (cpu %.3f s), peak %.0f MB -> %.1fx "
      "faster (cpu %.1fx)%s\n",
      write.seconds, write.cpu_seconds, write.peak_kb / 1024.0, baseline.seconds / write.seconds,
      baseline.cpu_seconds / write.cpu_seconds, write.status == 0 ? "" : " (FAILED)");
  std::printf("saved file size: %.1f MB\n", static_cast<double>(fs::file_size(copy)) / 1e6);
  return read.status == 0 && write.status == 0 ? 0 : 1;
}
