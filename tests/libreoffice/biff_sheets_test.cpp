#include "platform/libreoffice/biff_sheets.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <fstream>

#include "platform/libreoffice/odf_settings.h"
#include "tests/libreoffice/fixtures.h"

namespace quillory::libreoffice {
namespace {

std::string Describe(const SourceWorkbook& book) {
  std::string out;
  for (const SourceSheet& sheet : book.sheets) {
    out += sheet.name + ":" + std::to_string(static_cast<int>(sheet.kind)) + " ";
  }
  return out + "active " + std::to_string(book.active);
}

TEST(BiffSheets, ListsSheetsAndTheirKinds) {
  testing::TempFolder folder;
  testing::WriteChartWorkbook(folder / "charts.xlsx");
  testing::ConvertWithLibreOffice(
      {{folder / "charts.xlsx", folder / "charts.xls", "MS Excel 97", "-"}});
  const std::string xls = testing::ReadFile(folder / "charts.xls");
  // LibreOffice wrote the chart sheet as a worksheet.
  EXPECT_EQ(Describe(ReadBiffSheets(xls)), "Data:0 Chart1:0 Empty:0 active 0");
  EXPECT_EQ(Describe(ReadBiffSheets(testing::MarkChartSheet(xls, "Chart1", 1))),
            "Data:0 Chart1:2 Empty:0 active 1");
}

TEST(BiffSheets, BooleanFormulaResultsAndExcel95Workbooks) {
  testing::TempFolder folder;
  testing::WriteShownWorkbook(folder / "shown.xlsx");
  testing::ConvertWithLibreOffice(
      {{folder / "shown.xlsx", folder / "shown.xls", "MS Excel 97", "-"}});
  testing::ConvertToExcel95(folder / "shown.xlsx", folder / "shown95.xls");
  const std::vector<std::pair<std::int32_t, std::int32_t>> booleans = {{1, 2}, {2, 2}, {3, 2}};
  const SourceWorkbook biff8 = ReadBiffSheets(testing::ReadFile(folder / "shown.xls"));
  EXPECT_FALSE(biff8.excel95);
  ASSERT_EQ(biff8.sheets.size(), 1u);
  EXPECT_EQ(biff8.sheets[0].booleans, booleans);
  const SourceWorkbook biff5 = ReadBiffSheets(testing::ReadFile(folder / "shown95.xls"));
  EXPECT_TRUE(biff5.excel95);
  EXPECT_EQ(Describe(biff5), "Shown:0 active 0");
  ASSERT_EQ(biff5.sheets.size(), 1u);
  EXPECT_EQ(biff5.sheets[0].booleans, booleans);

  // Excel 5.0/95 names are bytes of the Windows code page (here Western, 1252).
  testing::WriteFile(folder / "S\u00fcd \u20ac.csv", "1,2\n");
  testing::ConvertToExcel95(folder / "S\u00fcd \u20ac.csv", folder / "western.xls");
  EXPECT_EQ(Describe(ReadBiffSheets(testing::ReadFile(folder / "western.xls"))),
            "S\u00fcd \u20ac.csv:0 active 0");
}

TEST(OoxmlSheets, ChartSheetsAreToldFromTheRelationships) {
  testing::TempFolder folder;
  testing::WriteChartWorkbook(folder / "charts.xlsx");
  EXPECT_EQ(Describe(ReadOoxmlSheets(folder / "charts.xlsx")), "Data:0 Chart1:2 Empty:0 active -1");
  testing::WriteFile(folder / "text.xlsx", "1,2\n");
  EXPECT_TRUE(ReadOoxmlSheets(folder / "text.xlsx").sheets.empty());
  EXPECT_TRUE(ReadOoxmlSheets(folder / "missing.xlsx").sheets.empty());
}

TEST(BiffSheets, AnythingElseGivesNoSheets) {
  EXPECT_TRUE(ReadBiffSheets("").sheets.empty());
  EXPECT_TRUE(ReadBiffSheets("1234.5,Total\n").sheets.empty());
  std::string truncated("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
  truncated.resize(600, '\xFF');
  EXPECT_TRUE(ReadBiffSheets(truncated).sheets.empty());
}

// A damaged file of three sectors whose allocation table chains its own sector to itself
// without end, as a directory, a table and the list of tables all at once.
std::string SelfChainedCompoundFile() {
  std::string file(1536, '\0');
  const auto put16 = [&file](std::size_t at, std::uint16_t v) {
    file[at] = static_cast<char>(v & 0xFF);
    file[at + 1] = static_cast<char>(v >> 8);
  };
  const auto put32 = [&](std::size_t at, std::uint32_t v) {
    put16(at, static_cast<std::uint16_t>(v & 0xFFFF));
    put16(at + 2, static_cast<std::uint16_t>(v >> 16));
  };
  file.replace(0, 8, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
  put16(0x1E, 9);
  put16(0x20, 6);
  put32(0x30, 1);
  put32(0x38, 4096);
  put32(0x3C, 0xFFFFFFFE);
  put32(0x44, 0);  // more tables listed in sector 0, which lists itself next
  return file;
}

// Runs `read` in a child whose address space is capped a little above what it holds now: 0 when
// it returned true, 3 when it ran out of memory.
template <class Read>
int ExitCodeWithLittleMemory(Read read) {
  const pid_t child = fork();
  if (child == 0) {
    std::size_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const rlim_t cap = pages * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (rlim_t{256} << 20);
    const rlimit limit{cap, cap};
    setrlimit(RLIMIT_AS, &limit);
    try {
      _exit(read() ? 0 : 2);
    } catch (...) {
      _exit(3);
    }
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

TEST(BiffSheets, ADamagedFileCannotTakeMoreMemoryThanItsSize) {
  const std::string file = SelfChainedCompoundFile();
  EXPECT_EQ(ExitCodeWithLittleMemory([&] { return ReadBiffSheets(file).sheets.empty(); }), 0);
}

// A package whose one part, `name`, says it unpacks to almost 4 GB.
void WriteOversizedPackage(const std::string& path, const char* name) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  ASSERT_NE(archive, nullptr);
  static const char kText[] = "<x/>";
  zip_source_t* source = zip_source_buffer(archive, kText, 4, 0);
  const zip_int64_t index = zip_file_add(archive, name, source, 0);
  ASSERT_GE(index, 0);
  zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
  ASSERT_EQ(zip_close(archive), 0);
  std::string bytes = testing::ReadFile(path);
  const std::size_t central = bytes.find("PK\x01\x02");
  ASSERT_NE(central, std::string::npos);
  bytes.replace(central + 24, 4, "\x00\x00\x00\xF0", 4);
  testing::WriteFile(path, bytes);
}

TEST(OoxmlSheets, PartsClaimingHugeSizesAreNotRead) {
  testing::TempFolder folder;
  const std::string ods = folder / "big.ods";
  const std::string xlsx = folder / "big.xlsx";
  WriteOversizedPackage(ods, "settings.xml");
  WriteOversizedPackage(xlsx, "xl/workbook.xml");
  EXPECT_EQ(ExitCodeWithLittleMemory([&] { return ReadOdfSettings(ods).empty(); }), 0);
  EXPECT_EQ(ExitCodeWithLittleMemory([&] { return ReadOoxmlSheets(xlsx).sheets.empty(); }), 0);
}

}  // namespace
}  // namespace quillory::libreoffice
