#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "workbook/in_use.h"

namespace quillory::workbook {
namespace {

namespace fs = std::filesystem;

TEST(SpreadsheetInUse, AnOwnerOrLockFileBesideAListedWorkbookCounts) {
  const fs::path folder = fs::path(::testing::TempDir()) / ("in_use." + std::to_string(::getpid()));
  fs::create_directories(folder);
  const std::string other = (folder / "other.xlsx").string();
  const std::string book = (folder / "My Book.xlsx").string();

  for (const char* lock : {"~$My Book.xlsx", ".~lock.My Book.xlsx#"}) {
    std::ofstream(folder / lock) << "someone";
    EXPECT_TRUE(SpreadsheetInUse({other, book})) << lock;
    fs::remove(folder / lock);
  }
  // The lock of a file that is not listed does not count (an office instance still might).
  std::ofstream(folder / ".~lock.unlisted.xlsx#") << "someone";
  if (!SpreadsheetInUse({})) {
    EXPECT_FALSE(SpreadsheetInUse({other, book}));
  }
  fs::remove_all(folder);
}

}  // namespace
}  // namespace quillory::workbook
