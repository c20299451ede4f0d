// 100,000 cells converted to words through LibreOffice (.xls and .ods) and, as the baseline, the
// same workbook as .xlsx through the embedded engine, in one run. Then what a save's read-back
// check costs: the same save, and the same whole conversion, with the check and without it,
// taken in turns REPEATS times each (median, and the spread of the ratios).
//   lo_bench [ROWS [COLUMNS [REPEATS]]]   (default 10000 x 10, 3)

#include <stdlib.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/settings.h"
#include "engine/words.h"
#include "platform/libreoffice/loader.h"
#include "platform/xlsx/xlsx_application.h"
#include "tests/support/answering_prompts.h"
#include "workbook/conversion_run.h"

namespace {

namespace fs = std::filesystem;
using namespace quillory;
using Clock = std::chrono::steady_clock;

void WriteWorkbook(const std::string& path, int rows, int columns) {
  lxw_workbook_options options = {};
  options.constant_memory = LXW_TRUE;
  lxw_workbook* book = workbook_new_opt(path.c_str(), &options);
  lxw_worksheet* sheet = workbook_add_worksheet(book, "Data");
  lxw_format* cents = workbook_add_format(book);
  format_set_num_format(cents, "#,##0.00");
  unsigned long long state = 88172645463325252ull;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      state ^= state << 13;
      state ^= state >> 7;
      state ^= state << 17;
      const double value = static_cast<double>(state % 10000000) / (c % 2 ? 100 : 1);
      worksheet_write_number(sheet, r, c, value, c % 2 ? cents : nullptr);
    }
  }
  workbook_close(book);
}

// Converts with the system's soffice under a throw-away profile.
void Convert(const std::string& source, const std::string& folder, const char* to) {
  const std::string command = "soffice -env:UserInstallation=file://" + folder +
                              "/profile --headless --convert-to " + to + " --outdir " + folder +
                              " " + source + " >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) std::fprintf(stderr, "conversion to %s failed\n", to);
}

struct Result {
  double seconds = 0;
  workbook::RunReport report;
};

Result Run(const std::string& path, const workbook::ApplicationFactory& factory) {
  MemorySettings store;
  WordSource words(store);
  testing::AnsweringPrompts prompts;
  workbook::RunOptions options;
  options.paths = {path};
  options.kind = workbook::Kind::Number;
  options.scope = workbook::Scope::Workbook;
  options.backup = false;
  workbook::RunServices services{factory, nullptr, nullptr, nullptr};
  const auto start = Clock::now();
  Result result;
  result.report = workbook::ConversionRun(options, words, prompts, services).Execute();
  result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (result.report.outcome != workbook::RunOutcome::Done) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), result.report.failure.c_str());
  }
  return result;
}

workbook::ApplicationFactory LibreOffice(bool read_back) {
  return [read_back](const std::string&) {
    libreoffice::LoaderSettings settings;
    settings.office.read_back_saves = read_back;
    return libreoffice::MakeLibreOfficeApplication(settings);
  };
}

// Seconds the save alone takes once every cell holds words: opened, written, saved, closed.
double TimeSave(const std::string& path, bool read_back) {
  auto app = LibreOffice(read_back)(path);
  auto book = app->Open(path);
  for (workbook::Worksheet* sheet : book->Worksheets()) {
    const auto cells = sheet->NonEmptyCells(1, 1, sheet->LastRow(), sheet->LastColumn());
    for (const auto& cell : cells) sheet->WriteString(cell.row, cell.column, "Words " + cell.text);
    sheet->LastRow();  // the writes go to LibreOffice here, not inside the timed save
  }
  const auto start = Clock::now();
  book->Save();
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  book->Close();
  app->Quit();
  return seconds;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void Spread(const char* what, const std::vector<double>& without, const std::vector<double>& with) {
  std::vector<double> ratios;
  for (std::size_t i = 0; i < without.size(); ++i) ratios.push_back(with[i] / without[i]);
  std::printf("    %-16s without %6.2f s, with %6.2f s: %.2fx (runs %.2fx to %.2fx)\n", what,
              Median(without), Median(with), Median(with) / Median(without),
              *std::min_element(ratios.begin(), ratios.end()),
              *std::max_element(ratios.begin(), ratios.end()));
}

}  // namespace

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::atoi(argv[1]) : 10000;
  const int columns = argc > 2 ? std::atoi(argv[2]) : 10;
  const int repeats = std::max(1, argc > 3 ? std::atoi(argv[3]) : 3);
  std::string folder = fs::temp_directory_path().string() + "/quillory-lo-bench-XXXXXX";
  if (mkdtemp(folder.data()) == nullptr) return 1;
  const std::string xlsx = folder + "/cells.xlsx";
  WriteWorkbook(xlsx, rows, columns);
  Convert(xlsx, folder, "xls");
  Convert(xlsx, folder, "ods");
  // The runs below convert these in place: the check's runs start from copies made now.
  for (const char* extension : {"xls", "ods"}) {
    fs::copy_file(folder + "/cells." + extension, folder + "/source." + extension);
  }

  const auto libreoffice = [](const std::string&) {
    return libreoffice::MakeLibreOfficeApplication();
  };
  const auto embedded = [](const std::string&) { return xlsx::MakeEmbeddedApplication(); };

  // The instance starts once per run (about a second) and is then reused: measured apart.
  const auto start = Clock::now();
  {
    auto app = libreoffice::MakeLibreOfficeApplication();
    app->Open(folder + "/cells.xls")->Close();
    app->Quit();
  }
  const double startup = std::chrono::duration<double>(Clock::now() - start).count();

  std::printf("%d cells (%d rows x %d columns), numbers to words, whole workbook\n", rows * columns,
              rows, columns);
  const Result base = Run(xlsx, embedded);
  std::printf("  xlsx, embedded engine: %7.2f s  %lld cells\n", base.seconds,
              static_cast<long long>(base.report.cells_converted));
  for (const char* extension : {"xls", "ods"}) {
    const Result lo = Run(folder + "/cells." + extension, libreoffice);
    std::printf("  %-4s, LibreOffice:     %7.2f s  %lld cells  (%.1fx the embedded engine)\n",
                extension, lo.seconds, static_cast<long long>(lo.report.cells_converted),
                base.seconds > 0 ? lo.seconds / base.seconds : 0.0);
  }
  std::printf("  LibreOffice start and first open: %.2f s, once per run\n", startup);

  // The check against no check, in turns, each on a fresh copy.
  std::printf("read-back check of each save, medians of %d runs in turns:\n", repeats);
  for (const char* extension : {"xls", "ods"}) {
    const std::string source = folder + "/source." + extension;
    const std::string copy = folder + "/copy." + extension;
    std::vector<double> save[2], run[2];
    for (int i = 0; i < repeats; ++i) {
      for (const bool read_back : {false, true}) {
        fs::copy_file(source, copy, fs::copy_options::overwrite_existing);
        save[read_back].push_back(TimeSave(copy, read_back));
        fs::copy_file(source, copy, fs::copy_options::overwrite_existing);
        const Result result = Run(copy, LibreOffice(read_back));
        run[read_back].push_back(result.seconds);
      }
    }
    std::printf("  %s:\n", extension);
    Spread("save alone", save[0], save[1]);
    Spread("whole conversion", run[0], run[1]);
  }
  libreoffice::EndLibreOfficeInstance();
  fs::remove_all(folder);
  return 0;
}
