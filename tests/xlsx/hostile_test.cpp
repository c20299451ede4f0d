#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <map>
#include <new>
#include <pugixml.hpp>
#include <string>

#include "platform/xlsx/read_budget.h"
#include "platform/xlsx/xlsx_application.h"
#include "tests/xlsx/hostile_packages.h"
#include "tests/xlsx/test_support.h"

// Hostile workbooks: each is refused with its reason, or opens, and none is changed. They are
// made small here and opened with limits scaled down alike (bench/hostile_bench runs them at the
// sizes of the attacks reported).
namespace quillory::xlsx {
namespace {

using namespace testing;
using ::testing::HasSubstr;
using ::testing::Not;

class HostileFiles : public ::testing::TestWithParam<HostileFile> {};

TEST_P(HostileFiles, AreRefusedWithTheReasonOrOpenAndAreLeftAsTheyWere) {
  const HostileFile& file = GetParam();
  ScratchDir dir;
  const std::string path = dir / file.name;
  file.write(path);
  const std::string bytes = ReadFile(path);
  try {
    auto book = MakeEmbeddedApplication(TestLimits())->Open(path);
    for (workbook::Worksheet* sheet : book->Worksheets()) {
      sheet->NonEmptyCells(1, 1, sheet->LastRow(), sheet->LastColumn());
    }
    EXPECT_EQ(file.expected, "") << "opened";
  } catch (const workbook::WorkbookError& e) {
    EXPECT_EQ(e.file(), path);
    ASSERT_NE(file.expected, "") << e.reason();
    EXPECT_THAT(e.reason(), HasSubstr(file.expected));
    if (file.expected.find("too large") != std::string::npos) {
      EXPECT_THAT(e.reason(), Not(HasSubstr("damaged")));
    }
  }
  EXPECT_EQ(ReadFile(path), bytes);
}

INSTANTIATE_TEST_SUITE_P(Set, HostileFiles, ::testing::ValuesIn(HostileSet(TestSizes())),
                         [](const ::testing::TestParamInfo<HostileFile>& info) {
                           std::string name = info.param.name.substr(0, info.param.name.find('.'));
                           return name;
                         });

// Each limit, as the user reads it: what is too large, where, and how large (the test limits:
// 4 MiB free, 100 times the packed size, 8 MiB a part, 1,000 entries, 200,000 tags and
// attributes, 20,000 strings and formats, 2,000 relationships).
TEST(HostileFiles, TooLargeSaysWhatWhereAndHowLarge) {
  const std::map<std::string, std::string> expected = {
      {"padding.xlsx",
       "its parts, up to /xl/worksheets/sheet1\\.xml, unpack to more than [0-9.]+ MB from [0-9.]+ "
       "kB in the file"},
      {"stored_part.xlsx", "its part /xl/worksheets/sheet1\\.xml unpacks to more than 8\\.4 MB"},
      {"many_parts.xlsx",
       "its parts, up to /xl/worksheets/sheet2\\.xml, unpack to more than [0-9.]+ MB from [0-9.]+ "
       "kB in the file"},
      {"cell_flood.xlsx",
       "its sheet \"Sheet1\" unpacks to more than [0-9,]+ cells from [0-9.]+ kB in the file"},
      {"many_entries.xlsx", "its package holds 1,505 parts, more than 1,000"},
      {"deep_nesting_workbook.xlsx",
       "its part /xl/workbook\\.xml holds more than 200,000 tags and attributes"},
      {"strings_count.xlsx",
       "its shared string table /xl/sharedStrings\\.xml holds more than 20,000 strings"},
      {"styles_count.xlsx",
       "its styles part /xl/styles\\.xml holds more than 20,000 cell and number formats"},
      {"relationships_count.xlsx",
       "its relationships part /xl/_rels/workbook\\.xml\\.rels holds more than 2,000 "
       "relationships"},
  };
  ScratchDir dir;
  for (const HostileFile& file : HostileSet(TestSizes())) {
    const auto wanted = expected.find(file.name);
    if (wanted == expected.end()) continue;
    file.write(dir / file.name);
    try {
      MakeEmbeddedApplication(TestLimits())->Open(dir / file.name);
      ADD_FAILURE() << file.name << " opened";
    } catch (const workbook::WorkbookError& e) {
      EXPECT_THAT(e.reason(), ::testing::MatchesRegex(
                                  "the workbook is too large to convert safely: " + wanted->second))
          << file.name;
    }
  }
}

// Twenty sheets that name one part read it once: with room for one reading of it and not two,
// the workbook opens, every sheet shows the part's cells, and a write through one is seen by all.
TEST(HostileFiles, APartNamedByManySheetsIsReadOnce) {
  ScratchDir dir;
  const std::string path = dir / "one_part_twenty_sheets.xlsx";
  for (const HostileFile& file : HostileSet(TestSizes())) {
    if (file.name == "one_part_twenty_sheets.xlsx") file.write(path);
  }
  ReadLimits limits = TestLimits();
  // The part's text and the index of its cells fit once, not twice.
  limits.free_bytes = TestSizes().big_part * 4;
  limits.unpacked_per_packed = 1;
  auto book = MakeEmbeddedApplication(limits)->Open(path);
  const auto sheets = book->Worksheets();
  ASSERT_EQ(sheets.size(), 20u);
  EXPECT_EQ(sheets[19]->Text(2, 1), "2");
  EXPECT_EQ(sheets[0]->LastRow(), sheets[19]->LastRow());
  sheets[0]->WriteString(2, 1, "Two");
  EXPECT_EQ(sheets[19]->Text(2, 1), "Two");
  book->Save();
  const auto parts = ReadParts(path);
  EXPECT_EQ(parts.count("xl/worksheets/sheet1.xml"), 1u);
  EXPECT_EQ(MakeEmbeddedApplication(limits)->Open(path)->Worksheets()[7]->Text(2, 1), "Two");
}

TEST(HostileFiles, ANamedPipeIsRefusedWithoutWaitingForAWriter) {
  ScratchDir dir;
  const std::string path = dir / "pipe.xlsx";
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  try {
    MakeEmbeddedApplication()->Open(path);
    FAIL() << "opened";
  } catch (const workbook::WorkbookError& e) {
    EXPECT_EQ(e.reason(), "this is a named pipe (FIFO), not a workbook file; it was not opened");
  }
  try {
    MakeEmbeddedApplication()->Open("/dev/null");
    FAIL() << "opened";
  } catch (const workbook::WorkbookError& e) {
    EXPECT_EQ(e.reason(), "this is a device, not a workbook file; it was not opened");
  }
}

// Memory running out is said to be that, never taken for a damaged file: here the tree of a
// styles part that the limits allow does not fit the memory the XML parser may have. The parser's
// allocator runs dry after a megabyte, the same on every machine (a limit on the address space
// depends on the stacks and arenas of the machine that runs the test).
std::size_t parser_bytes_left = 0;

void* ScarceAllocate(std::size_t size) {
  if (size > parser_bytes_left) return nullptr;
  parser_bytes_left -= size;
  return std::malloc(size);
}

TEST(HostileFiles, RunningOutOfMemoryIsNotDamage) {
  ScratchDir dir;
  const std::string path = dir / "styles.xlsx";
  HostileSizes sizes = TestSizes();
  sizes.styles = 300'000;  // 5 MB of text, a tree of about 30 MB
  for (const HostileFile& file : HostileSet(sizes)) {
    if (file.name == "styles_count.xlsx") file.write(path);
  }
  ReadLimits roomy;
  roomy.styles = 1u << 30;
  roomy.markup_items = 1u << 30;
  const auto allocate = pugi::get_memory_allocation_function();
  const auto deallocate = pugi::get_memory_deallocation_function();
  parser_bytes_left = 1u << 20;
  pugi::set_memory_management_functions(ScarceAllocate, std::free);
  std::string outcome;
  try {
    MakeEmbeddedApplication(roomy)->Open(path);
    outcome = "opened";
  } catch (const std::bad_alloc&) {
    outcome = "out of memory";
  } catch (const workbook::WorkbookError& e) {
    outcome = e.what();
  }
  pugi::set_memory_management_functions(allocate, deallocate);
  EXPECT_EQ(outcome, "out of memory");
  // With the memory back, the same file opens.
  EXPECT_NO_THROW(MakeEmbeddedApplication(roomy)->Open(path));
}

TEST(ReadBudget, AllowsFreeBytesThenAHundredTimesThePackedBytes) {
  ReadLimits limits;
  limits.free_bytes = 1000;
  limits.unpacked_per_packed = 100;
  limits.part_bytes = 1'000'000;
  limits.total_bytes = 2'000'000;
  ReadBudget budget(limits, 5000);
  EXPECT_EQ(budget.Allowance(10), 2000u);
  budget.Spend(10, 1500);
  EXPECT_EQ(budget.Allowance(0), 1000u - 500u);
  EXPECT_EQ(budget.Allowance(20), 1000u + 100u * 30u - 1500u);
  // Entries that overlap in the file cannot count its bytes twice.
  EXPECT_EQ(budget.Allowance(1'000'000), 1000u + 100u * 5000u - 1500u);
  // One part and all parts.
  EXPECT_EQ(ReadBudget(limits, 0).Allowance(1'000'000), 1'000'000u);
  budget.Spend(0, 1'999'000);
  EXPECT_EQ(budget.Allowance(1'000'000), 0u);
}

TEST(ReadBudget, SizesAndCountsReadAsPeopleWriteThem) {
  EXPECT_EQ(SizeText(0), "0 bytes");
  EXPECT_EQ(SizeText(999), "999 bytes");
  EXPECT_EQ(SizeText(1000), "1.0 kB");
  EXPECT_EQ(SizeText(24'576), "25 kB");
  EXPECT_EQ(SizeText(2'100'000), "2.1 MB");
  EXPECT_EQ(SizeText(264'241'152), "264 MB");
  EXPECT_EQ(SizeText(std::uint64_t{4} << 30), "4.3 GB");
  EXPECT_EQ(CountText(7), "7");
  EXPECT_EQ(CountText(1000), "1,000");
  EXPECT_EQ(CountText(16'000'000), "16,000,000");
}

}  // namespace
}  // namespace quillory::xlsx
