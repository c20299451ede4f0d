#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/cli.h"
#include "engine/settings.h"
#include "platform/backends.h"

namespace quillory {
namespace {

const std::string kCorpus = QUILLORY_CORPUS;

struct CellsRun {
  int exit_code = 0;
  std::string out;
  std::string err;
};

CellsRun Cells(std::vector<std::string> args) {
  MemorySettings store;
  std::istringstream in;
  CliEnvironment env{store, in};
  env.applications = [](const std::string& name) -> workbook::ApplicationFactory {
    const auto backend = ParseBackend(name);
    return backend ? MakeApplicationFactory(*backend) : workbook::ApplicationFactory{};
  };
  std::ostringstream out, err;
  args.insert(args.begin(), "cells");
  const int code = RunCli(args, out, err, env);
  return {code, out.str(), err.str()};
}

TEST(CellsCommand, PrintsOneEscapedLinePerNonEmptyCellInWalkOrder) {
  const auto run = Cells({kCorpus + "/xw_types.xlsx"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out.substr(0, run.out.find('\n', run.out.find('\n') + 1) + 1),
            "Types\tA1\tplain string\nTypes\tB1\tTotal\n");
  EXPECT_NE(run.out.find("Types\tB5\tline1\\nline2\n"), std::string::npos);
  EXPECT_NE(run.out.find("Types\tC5\ta\\tb\n"), std::string::npos);
  // Every line has exactly three fields.
  std::istringstream lines(run.out);
  std::string line;
  while (std::getline(lines, line))
    EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 2) << line;
}

TEST(CellsCommand, SheetOptionPicksOneWorksheet) {
  const auto run = Cells({kCorpus + "/xw_sheets.xlsx", "--sheet", "C5 start"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out.rfind("C5 start\tC5\t", 0), 0u) << run.out;
  EXPECT_EQ(run.out.find("Alpha"), std::string::npos);
  const auto missing = Cells({kCorpus + "/xw_sheets.xlsx", "--sheet", "Nope"});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_NE(missing.err.find("Nope"), std::string::npos);
}

TEST(CellsCommand, FailuresNameTheFileAndReasonOnStandardError) {
  for (const std::string name : {"bad_not_a_zip.xlsx", "bad_truncated.xlsx"}) {
    const auto run = Cells({kCorpus + "/" + name});
    EXPECT_EQ(run.exit_code, 1) << name;
    EXPECT_TRUE(run.out.empty());
    EXPECT_NE(run.err.find(name), std::string::npos) << run.err;
  }
  const auto legacy = Cells({kCorpus + "/lo_legacy.xls", "--backend", "embedded"});
  EXPECT_EQ(legacy.exit_code, 1);
  EXPECT_NE(legacy.err.find("LibreOffice"), std::string::npos) << legacy.err;
}

TEST(CellsCommand, ControlCharactersInNamesAndTextsAreWrittenAsHex) {
  // A sheet whose cell holds a backslash, CR and a control character written as _x0001_.
  std::string dir = (std::filesystem::temp_directory_path() / "quillory-cells-XXXXXX").string();
  ASSERT_NE(mkdtemp(dir.data()), nullptr);
  const std::string path = dir + "/ctl.xlsx";
  const std::vector<std::pair<std::string, std::string>> parts = {
      {"_rels/.rels",
       "<Relationships><Relationship Id=\"r\" Type=\"http://schemas.openxmlformats.org/"
       "officeDocument/2006/relationships/officeDocument\" Target=\"xl/workbook.xml\"/>"
       "</Relationships>"},
      {"xl/workbook.xml",
       "<workbook xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
       "<sheets><sheet name=\"S\" r:id=\"a\"/></sheets></workbook>"},
      {"xl/_rels/workbook.xml.rels",
       "<Relationships><Relationship Id=\"a\" Type=\"http://schemas.openxmlformats.org/"
       "officeDocument/2006/relationships/worksheet\" Target=\"s.xml\"/></Relationships>"},
      {"xl/s.xml",
       "<worksheet><sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>a\\b_x000D__x0001_"
       "</t></is></c></row></sheetData></worksheet>"},
  };
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  ASSERT_NE(archive, nullptr);
  for (const auto& [name, content] : parts) {
    zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
    ASSERT_GE(zip_file_add(archive, name.c_str(), source, 0), 0);
  }
  ASSERT_EQ(zip_close(archive), 0);

  const auto run = Cells({path});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, "S\tA1\ta\\\\b\\r\\x01\n");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace quillory
