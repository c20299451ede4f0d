// 100,000 cells converted to words through LibreOffice (.xls and .ods) and, as the baseline, the
// same workbook as .xlsx through the embedded engine, in one run.
//   lo_bench [ROWS [COLUMNS]]   (default 10000 x 10)

#include <stdlib.h>
#include <xlsxwriter.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "engine/settings.h"
#include "engine/words.h"
#include "platform/libreoffice/loader.h"
#include "platform/xlsx/xlsx_application.h"
#include "workbook/conversion_run.h"

namespace {

namespace fs = std::filesystem;
using namespace quillory;
using Clock = std::chrono::steady_clock;

class QuietPrompts : public workbook::Prompts {
 public:
  void Message(std::string_view text, std::string_view) override { last = std::string(text); }
  bool AskYesNo(std::string_view) override { return true; }
  std::optional<std::string> AskText(std::string_view, std::string_view) override { return "1"; }
  std::optional<workbook::Block> PickBlock(workbook::Workbook&) override { return std::nullopt; }
  void SetBusy(bool) override {}
  void Progress(const workbook::RunProgress&) override {}
  std::string last;
};

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
  QuietPrompts prompts;
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

}  // namespace

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::atoi(argv[1]) : 10000;
  const int columns = argc > 2 ? std::atoi(argv[2]) : 10;
  std::string folder = fs::temp_directory_path().string() + "/quillory-lo-bench-XXXXXX";
  if (mkdtemp(folder.data()) == nullptr) return 1;
  const std::string xlsx = folder + "/cells.xlsx";
  WriteWorkbook(xlsx, rows, columns);
  Convert(xlsx, folder, "xls");
  Convert(xlsx, folder, "ods");

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
  libreoffice::EndLibreOfficeInstance();
  fs::remove_all(folder);
  return 0;
}
