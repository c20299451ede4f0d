#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "engine/languages.h"
#include "engine/settings.h"
#include "tests/workbook/fake_workbook.h"

namespace quillory {
namespace {

using workbook::testing::FakeFile;
using workbook::testing::FakeOffice;
using workbook::testing::MakeSheet;

// The command line over the in-memory application; files are named "/w/<name>".
class ConvertCommand : public ::testing::Test {
 protected:
  ConvertCommand() {
    env_.applications = [this](const std::string&) { return office_.Factory(); };
    env_.spreadsheet_in_use = [this](const auto&) { return in_use_; };
  }
  int Run(std::vector<std::string> args, const std::string& input = "") {
    in_.str(input);
    in_.clear();
    out_.str("");
    err_.str("");
    args.insert(args.begin(), "convert");
    return RunCli(args, out_, err_, env_);
  }
  std::string Text(const std::string& path, std::size_t sheet, std::int32_t row,
                   std::int32_t column) {
    return office_.files[path].sheets[sheet].cells[{row, column}].text;
  }

  MemorySettings store_;
  std::istringstream in_;
  CliEnvironment env_{store_, in_};
  FakeOffice office_;
  bool in_use_ = false;
  std::ostringstream out_, err_;
};

TEST_F(ConvertCommand, BadUsageExitsTwoAndTouchesNothing) {
  office_.files["/w/a.xlsx"] = FakeFile{{MakeSheet("S", {{"1"}})}, 0};
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{},
                                             {"/w/a.xlsx", "--kind", "words"},
                                             {"/w/a.xlsx", "--kind", "letters", "--base", "67"},
                                             {"/w/a.xlsx", "--kind", "letters", "--base", "x"},
                                             {"/w/a.xlsx", "--base", "1"},
                                             {"/w/a.xlsx", "--scope", "S!A1:B"},
                                             {"/w/a.xlsx", "--language", "Klingon"},
                                             {"/w/a.xlsx", "--backend", "excel"}}) {
    EXPECT_EQ(Run(args), 2) << ::testing::PrintToString(args);
  }
  EXPECT_TRUE(office_.log.empty());
}

TEST_F(ConvertCommand, RunningInstanceStopsTheRunUnlessYes) {
  office_.files["/w/a.xlsx"] = FakeFile{{MakeSheet("S", {{"1"}})}, 0};
  in_use_ = true;
  EXPECT_EQ(Run({"/w/a.xlsx", "--no-backup"}), 1);
  EXPECT_EQ(err_.str(),
            "A spreadsheet program may have one of the workbooks open. It is recommended that you "
            "close it there first.\n\nWould you like to proceed anyway?\n"
            "Run again with --yes to proceed anyway.\n"
            "The run was not started; nothing was converted.\n");
  EXPECT_TRUE(office_.log.empty());

  EXPECT_EQ(Run({"/w/a.xlsx", "--no-backup", "--yes"}), 0) << err_.str();
  EXPECT_EQ(Text("/w/a.xlsx", 0, 1, 1), "One");
  EXPECT_EQ(err_.str(), "Done.\n");
}

TEST_F(ConvertCommand, LettersQuestionIsAskedOnTheTerminalUntilAnswered) {
  office_.files["/w/a.xlsx"] = FakeFile{{MakeSheet("S", {{"12"}})}, 0};
  EXPECT_EQ(Run({"/w/a.xlsx", "--no-backup", "--kind", "letters"}, "abc\n99\n\n"), 0) << err_.str();
  EXPECT_EQ(Text("/w/a.xlsx", 0, 1, 1), "AB");  // an empty answer takes the offered 1
  std::string err = err_.str();
  std::size_t asked = 0;
  for (std::size_t at = 0;
       (at = err.find("What number corresponds with A? [1]", at)) != std::string::npos; ++at) {
    ++asked;
  }
  EXPECT_EQ(asked, 3u);

  EXPECT_NE(err.find("Please give a number from -180 to 66."), std::string::npos) << err;

  // Standard input ends without an answer: the run ends before anything is opened.
  office_.files["/w/a.xlsx"] = FakeFile{{MakeSheet("S", {{"12"}})}, 0};
  office_.log.clear();
  EXPECT_EQ(Run({"/w/a.xlsx", "--no-backup", "--kind", "letters"}, "abc\n"), 2);
  EXPECT_TRUE(office_.log.empty());
  EXPECT_NE(err_.str().find("The run was not started: no number was given for A"),
            std::string::npos)
      << err_.str();
  EXPECT_EQ(Run({"/w/a.xlsx", "--no-backup", "--kind", "letters"}, ""), 2);
  EXPECT_TRUE(office_.log.empty());
}

TEST_F(ConvertCommand, BlockScopeNamesItsSheetQuotedOrNot) {
  office_.files["/w/a.xlsx"] = FakeFile{
      {MakeSheet("First", {{"1", "2"}}), MakeSheet("My Sheet", {{"3", "4"}, {"5", "6"}})}, 0};
  EXPECT_EQ(Run({"/w/a.xlsx", "--no-backup", "--scope", "'my sheet'!B1:B2"}), 0) << err_.str();
  EXPECT_EQ(Text("/w/a.xlsx", 1, 1, 2), "Four");
  EXPECT_EQ(Text("/w/a.xlsx", 1, 2, 2), "Six");
  EXPECT_EQ(Text("/w/a.xlsx", 1, 1, 1), "3");
  EXPECT_EQ(Text("/w/a.xlsx", 0, 1, 2), "2");

  EXPECT_EQ(Run({"/w/a.xlsx", "--no-backup", "--scope", "A1"}), 0);  // the active sheet
  EXPECT_EQ(Text("/w/a.xlsx", 0, 1, 1), "One");

  EXPECT_EQ(Run({"/w/a.xlsx", "--no-backup", "--scope", "Missing!A1"}), 1);
  EXPECT_NE(err_.str().find("/w/a.xlsx was not converted: there is no worksheet named 'Missing'"),
            std::string::npos)
      << err_.str();
}

TEST_F(ConvertCommand, FailureNamesTheFileAndWhy) {
  office_.files["/w/a.xlsx"] = FakeFile{{MakeSheet("S", {{"1"}})}, 0};
  EXPECT_EQ(Run({"/w/a.xlsx", "/w/gone.xlsx", "--no-backup"}), 1);
  EXPECT_NE(err_.str().find("/w/gone.xlsx was not converted: the file does not exist"),
            std::string::npos)
      << err_.str();
  EXPECT_EQ(Text("/w/a.xlsx", 0, 1, 1), "One");
}

TEST_F(ConvertCommand, DryRunPrintsEscapedChangesAndSavesNothing) {
  office_.files["/w/a.xlsx"] =
      FakeFile{{MakeSheet("Tab\tSheet", {{"1\t2", "x"}, {"", "3\\4\n5\r"}})}, 0};
  const FakeFile before = office_.files["/w/a.xlsx"];
  EXPECT_EQ(Run({"/w/a.xlsx", "--dry-run", "--kind", "letters", "--base", "1"}), 0) << err_.str();
  EXPECT_EQ(out_.str(),
            "/w/a.xlsx\tTab\\tSheet\tA1\t1\\t2\tA\\tB\n"
            "/w/a.xlsx\tTab\\tSheet\tB2\t3\\\\4\\n5\\r\tC\\\\D\\nE\\r\n");
  EXPECT_EQ(office_.files["/w/a.xlsx"], before);
  EXPECT_EQ(office_.Count("save /w/a.xlsx"), 0);
}

TEST_F(ConvertCommand, DryRunRefusesAndExitsAsTheRunWould) {
  office_.files["/w/a.xlsx"] = FakeFile{{MakeSheet("S", {{"2", "!3"}})}, 0};
  office_.files["/w/old.xls"] = FakeFile{{MakeSheet("S", {{"1"}})}, 0};
  office_.files["/w/old.xls"].save_refusal = "it is in a format that cannot be saved";
  for (const bool dry : {true, false}) {
    std::vector<std::string> args = {"/w/a.xlsx", "/w/old.xls", "--no-backup"};
    if (dry) args.push_back("--dry-run");
    EXPECT_EQ(Run(args), 1) << err_.str();
    EXPECT_EQ(out_.str(), dry ? "/w/a.xlsx\tS\tA1\t2\tTwo\n/w/old.xls\tS\tA1\t1\tOne\n" : "");
    EXPECT_EQ(err_.str(),
              "/w/old.xls was not converted: it is in a format that cannot be saved\n" +
                  std::string(dry ? "" : "The workbooks before it were converted and saved.\n") +
                  "/w/a.xlsx, S!B1: part of an array formula\n");
  }
}

TEST_F(ConvertCommand, LanguageAndCollectedMessages) {
  AddLanguage(store_, "Loud");
  for (Stem stem : AllStems()) {
    std::string word(EnglishWord(stem));
    for (char& c : word) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    WriteStoredWord(store_, stem, "Loud", word);
  }
  office_.files["/w/a.xlsx"] = FakeFile{{MakeSheet("S", {{"Total", "2"}})}, 0};
  EXPECT_EQ(Run({"/w/a.xlsx", "--no-backup", "--language", "Loud", "--kind", "currency"}), 0);
  EXPECT_EQ(Text("/w/a.xlsx", 0, 1, 2), "TWO Dollars AND NO Cents");
  EXPECT_EQ(err_.str(), "Done.\n/w/a.xlsx, S!A1: Total does not appear to be a number\n");
}

}  // namespace
}  // namespace quillory
