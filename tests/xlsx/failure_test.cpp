#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/xlsx/xlsx_application.h"
#include "tests/xlsx/test_support.h"
#include "workbook/file_replace.h"

// Workbooks that cannot be opened or saved: a clear failure naming the file, and the file as it
// was before.
namespace quillory::xlsx {
namespace {

using namespace testing;

void MakeSmallWorkbook(const std::string& path) {
  MakeWorkbook(path, [](lxw_workbook* book) {
    lxw_worksheet* sheet = workbook_add_worksheet(book, "Only");
    worksheet_write_number(sheet, 0, 0, 12, nullptr);
    worksheet_write_string(sheet, 1, 0, "text", nullptr);
  });
}

std::string OleContainer(bool encrypted) {
  std::string bytes("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
  bytes.resize(1024, '\0');
  if (encrypted) {
    const std::string name = "EncryptionInfo";
    for (const char c : name) {
      bytes.push_back(c);
      bytes.push_back('\0');
    }
  }
  bytes.resize(4096, '\0');
  return bytes;
}

struct OpenFailure {
  std::string name;      // file name, its extension matters
  std::string expected;  // part of the reason
  std::function<void(const std::string& path)> make;
};

std::vector<OpenFailure> OpenFailures() {
  return {
      {"empty.xlsx", "empty", [](const std::string& p) { WriteFile(p, ""); }},
      {"text.xlsx", "not an xlsx package",
       [](const std::string& p) { WriteFile(p, "hello, world\n"); }},
      {"truncated.xlsx", "truncated",
       [](const std::string& p) {
         MakeSmallWorkbook(p);
         const std::string bytes = ReadFile(p);
         WriteFile(p, bytes.substr(0, bytes.size() / 2));
       }},
      {"secret.xlsx", "password-protected",
       [](const std::string& p) { WriteFile(p, OleContainer(true)); }},
      {"old.xls", "LibreOffice", [](const std::string& p) { WriteFile(p, OleContainer(false)); }},
      {"renamed.xlsx", "LibreOffice",
       [](const std::string& p) { WriteFile(p, OleContainer(false)); }},
      {"legacy.xls", "LibreOffice",
       [](const std::string& p) { WriteFile(p, ReadFile(CorpusDir() + "/lo_legacy.xls")); }},
      {"xml.xlt", "LibreOffice",
       [](const std::string& p) { WriteFile(p, "<?xml version=\"1.0\"?>"); }},
      {"norels.xlsx", "relationships",
       [](const std::string& p) {
         MakeSmallWorkbook(p);
         DropPart(p, "_rels/.rels");
       }},
      {"nobook.xlsx", "xl/workbook.xml",
       [](const std::string& p) {
         MakeSmallWorkbook(p);
         DropPart(p, "xl/workbook.xml");
       }},
      {"nosheet.xlsx", "xl/worksheets/sheet1.xml",
       [](const std::string& p) {
         MakeSmallWorkbook(p);
         DropPart(p, "xl/worksheets/sheet1.xml");
       }},
      {"badsheet.xlsx", "not well-formed",
       [](const std::string& p) {
         MakeSmallWorkbook(p);
         std::string sheet = ReadParts(p).at("xl/worksheets/sheet1.xml");
         sheet.replace(sheet.find("</row>"), 6, "</rwo>");
         PutPart(p, "xl/worksheets/sheet1.xml", sheet);
       }},
      {"cutsheet.xlsx", "not well-formed",
       [](const std::string& p) {
         MakeSmallWorkbook(p);
         const std::string sheet = ReadParts(p).at("xl/worksheets/sheet1.xml");
         PutPart(p, "xl/worksheets/sheet1.xml", sheet.substr(0, sheet.size() - 20));
       }},
      {"badbook.xlsx", "not well-formed",
       [](const std::string& p) {
         MakeSmallWorkbook(p);
         PutPart(p, "xl/workbook.xml", "<workbook><sheets><sheet name=\"a\"</sheets></workbook>");
       }},
      {"badstrings.xlsx", "not well-formed",
       [](const std::string& p) {
         MakeSmallWorkbook(p);
         PutPart(p, "xl/sharedStrings.xml", "<sst><si><t>text</si></sst>");
       }},
      {"badref.xlsx", "not well-formed",
       [](const std::string& p) {
         MakeSmallWorkbook(p);
         std::string sheet = ReadParts(p).at("xl/worksheets/sheet1.xml");
         sheet.replace(sheet.find("r=\"A1\""), 6, "r=\"A0\"");
         PutPart(p, "xl/worksheets/sheet1.xml", sheet);
       }},
  };
}

TEST(OpenFailures, NameTheFileAndReasonAndLeaveTheFileAlone) {
  ScratchDir dir;
  for (const auto& failure : OpenFailures()) {
    const std::string path = dir / failure.name;
    failure.make(path);
    const std::string bytes = ReadFile(path);
    try {
      auto book = MakeEmbeddedApplication()->Open(path);
      FAIL() << failure.name << " opened";
    } catch (const workbook::WorkbookError& e) {
      EXPECT_EQ(e.file(), path) << failure.name;
      EXPECT_NE(e.reason().find(failure.expected), std::string::npos)
          << failure.name << ": " << e.reason();
      if (std::getenv("SHOW_REASONS")) std::printf("%s\n", e.what());
    }
    EXPECT_EQ(ReadFile(path), bytes) << failure.name;
  }
  EXPECT_THROW(MakeEmbeddedApplication()->Open(dir / "missing.xlsx"), workbook::WorkbookError);
  EXPECT_THROW(MakeEmbeddedApplication()->Open(dir.path()), workbook::WorkbookError);
}

TEST(OpenFailures, MemoryPackagesFailTheSameWay) {
  EXPECT_THROW(OpenWorkbookFromMemory("", "a.xlsx"), workbook::WorkbookError);
  EXPECT_THROW(OpenWorkbookFromMemory("PK\x03\x04garbage", "a.xlsx"), workbook::WorkbookError);
  EXPECT_THROW(OpenWorkbookFromMemory(OleContainer(true), "a.xlsx"), workbook::WorkbookError);
}

class SaveFailure : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_ / "book.xlsx";
    MakeSmallWorkbook(path_);
    bytes_ = ReadFile(path_);
  }
  void ExpectRefusedAndUnchanged(const std::string& expected) {
    auto book = MakeEmbeddedApplication()->Open(path_);
    book->Worksheets()[0]->WriteString(1, 1, "Twelve");
    try {
      book->Save();
      FAIL() << "saved";
    } catch (const workbook::WorkbookError& e) {
      EXPECT_EQ(e.file(), path_);
      EXPECT_NE(e.reason().find(expected), std::string::npos) << e.reason();
    }
    EXPECT_EQ(ReadFile(path_), bytes_);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()),
                            std::filesystem::directory_iterator{}),
              1)
        << "a temporary file was left behind";
  }

  ScratchDir dir_;
  std::string path_;
  std::string bytes_;
};

TEST_F(SaveFailure, ReadOnlyFileIsRefusedBeforeWriting) {
  chmod(path_.c_str(), 0444);
  ExpectRefusedAndUnchanged("read-only");
  struct stat info {};
  stat(path_.c_str(), &info);
  EXPECT_EQ(info.st_mode & 07777, 0444u);
}

TEST_F(SaveFailure, ReadOnlyFolderIsRefusedBeforeWriting) {
  chmod(dir_.path().c_str(), 0555);
  ExpectRefusedAndUnchanged("folder");
  chmod(dir_.path().c_str(), 0755);
}

TEST_F(SaveFailure, ASaveThatCannotReadTheOriginalLeavesItIntact) {
  auto book = MakeEmbeddedApplication()->Open(path_);
  book->Worksheets()[0]->WriteString(1, 1, "Twelve");
  // Another program truncates the file under the open workbook: the save must fail, not write
  // a package with damaged parts.
  WriteFile(path_, bytes_.substr(0, 100));
  EXPECT_THROW(book->Save(), workbook::WorkbookError);
  EXPECT_EQ(ReadFile(path_), bytes_.substr(0, 100));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()),
                          std::filesystem::directory_iterator{}),
            1);
}

TEST(SaveThroughALink, ReplacesTheFileTheLinkPointsToAndKeepsTheLink) {
  ScratchDir dir;
  const std::string target = dir / "real.xlsx";
  const std::string link = dir / "link.xlsx";
  MakeSmallWorkbook(target);
  std::filesystem::create_symlink(target, link);
  {
    auto book = MakeEmbeddedApplication()->Open(link);
    book->Worksheets()[0]->WriteString(1, 1, "Twelve");
    book->Save();
  }
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(MakeEmbeddedApplication()->Open(target)->Worksheets()[0]->Text(1, 1), "Twelve");
}

// The save puts a new file in place only while the path still names the file that was opened.
class SaveGuarantees : public SaveFailure {
 protected:
  void TearDown() override { workbook::SetFileStepHook(nullptr); }
  // Another program writes a new file and renames it over the workbook, as office programs
  // save; its A1 says "their edit".
  void AnotherProgramSaves() {
    MakeWorkbook(dir_ / "theirs.xlsx", [](lxw_workbook* other) {
      worksheet_write_string(workbook_add_worksheet(other, "Only"), 0, 0, "their edit", nullptr);
    });
    std::filesystem::rename(dir_ / "theirs.xlsx", path_);
  }
  std::string A1(const std::string& path) {
    return MakeEmbeddedApplication()->Open(path)->Worksheets()[0]->Text(1, 1);
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(SaveGuarantees, AnotherProgramsSaveDuringTheConversionIsNotOverwritten) {
  auto book = MakeEmbeddedApplication()->Open(path_);
  book->Worksheets()[0]->WriteString(1, 1, "Twelve");
  AnotherProgramSaves();
  try {
    book->Save();
    FAIL() << "saved over the other program's version";
  } catch (const workbook::WorkbookError& e) {
    EXPECT_EQ(e.file(), path_);
    EXPECT_NE(e.reason().find("another program changed or replaced the file while it was being "
                              "converted; nothing was written"),
              std::string::npos)
        << e.reason();
  }
  book->Close();
  EXPECT_EQ(A1(path_), "their edit");
  EXPECT_EQ(Names(), std::vector<std::string>{"book.xlsx"});
}

TEST_F(SaveGuarantees, ASavePreparedAheadPutsNothingInPlaceUntilSaveAndLeavesNothingWhenDropped) {
  {
    auto book = MakeEmbeddedApplication()->Open(path_);
    book->Worksheets()[0]->WriteString(1, 1, "Twelve");
    book->PrepareSave();
    // The new file is beside the workbook, hidden; the workbook itself is as it was.
    EXPECT_EQ(Names().size(), 2u);
    EXPECT_EQ(ReadFile(path_), bytes_);
    // Closed instead of saved: nothing of the prepared save is left.
  }
  EXPECT_EQ(Names(), std::vector<std::string>{"book.xlsx"});
  EXPECT_EQ(ReadFile(path_), bytes_);

  auto book = MakeEmbeddedApplication()->Open(path_);
  book->Worksheets()[0]->WriteString(1, 1, "Twelve");
  book->PrepareSave();
  // Another program saves meanwhile: the prepared save must not go over it.
  AnotherProgramSaves();
  try {
    book->Save();
    FAIL() << "saved over the other program's version";
  } catch (const workbook::WorkbookError& e) {
    EXPECT_NE(e.reason().find("nothing was written"), std::string::npos) << e.reason();
  }
  book->Close();
  EXPECT_EQ(A1(path_), "their edit");
  EXPECT_EQ(Names(), std::vector<std::string>{"book.xlsx"});
}

TEST_F(SaveGuarantees, AWorkbookWithASecondNameIsRefusedAndBothNamesKeepTheirContent) {
  std::filesystem::create_hard_link(path_, dir_ / "second.xlsx");
  auto book = MakeEmbeddedApplication()->Open(path_);
  book->Worksheets()[0]->WriteString(1, 1, "Twelve");
  try {
    book->Save();
    FAIL() << "saved";
  } catch (const workbook::WorkbookError& e) {
    EXPECT_NE(e.reason().find("it has 2 names (hard links)"), std::string::npos) << e.reason();
  }
  EXPECT_EQ(ReadFile(path_), bytes_);
  EXPECT_EQ(std::filesystem::hard_link_count(path_), 2u);
}

TEST_F(SaveGuarantees, KeepsOwnerAndModeAndSavesAgainFromTheFileItWrote) {
  chmod(path_.c_str(), 0640);
  const bool root = geteuid() == 0;
  if (root) {
    ASSERT_EQ(chown(path_.c_str(), 65534, 65534), 0);
  }
  auto book = MakeEmbeddedApplication()->Open(path_);
  book->Worksheets()[0]->WriteString(1, 1, "Twelve");
  book->Save();
  book->Worksheets()[0]->WriteString(2, 1, "words");
  book->Save();
  struct stat info {};
  ASSERT_EQ(stat(path_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  if (root) {
    EXPECT_EQ(info.st_uid, 65534u);
    EXPECT_EQ(info.st_gid, 65534u);
  }
  // After its own save the workbook knows the new file; another program's still counts.
  WriteFile(path_, ReadFile(path_) + "tail");
  book->Worksheets()[0]->WriteString(1, 1, "again");
  EXPECT_THROW(book->Save(), workbook::WorkbookError);
  book->Close();
  EXPECT_EQ(Names(), std::vector<std::string>{"book.xlsx"});
}

TEST_F(SaveGuarantees, ALinkSwappedInAfterTheRenameGainsNothing) {
  const std::string victim = dir_ / "victim";
  WriteFile(victim, "secret");
  chmod(victim.c_str(), 0600);
  chmod(path_.c_str(), 0666);
  workbook::SetFileStepHook([&](workbook::FileStep step, const std::string&) {
    if (step != workbook::FileStep::kRenamed) return;
    std::filesystem::rename(path_, dir_ / "moved.xlsx");
    std::filesystem::create_symlink(victim, path_);
  });
  auto book = MakeEmbeddedApplication()->Open(path_);
  book->Worksheets()[0]->WriteString(1, 1, "Twelve");
  book->Save();
  struct stat info {};
  ASSERT_EQ(stat(victim.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
  EXPECT_EQ(ReadFile(victim), "secret");
  EXPECT_EQ(A1(dir_ / "moved.xlsx"), "Twelve");
}

}  // namespace
}  // namespace quillory::xlsx
