#include <gtest/gtest.h>

#include "workbook/file_names.h"

namespace quillory::workbook {
namespace {

TEST(FileNames, SplitPathsAsTheFileSystemDoes) {
  EXPECT_EQ(FolderOf("/home/a/Book.xlsx"), "/home/a");
  EXPECT_EQ(FolderOf("/Book.xlsx"), "/");
  EXPECT_EQ(FolderOf("Book.xlsx"), ".");
  EXPECT_EQ(FileNameOf("/home/a/Book.xlsx"), "Book.xlsx");
  EXPECT_EQ(FileNameOf("Book.xlsx"), "Book.xlsx");
  EXPECT_EQ(LowerExtension("/home/a/Book.XLSX"), ".xlsx");
  EXPECT_EQ(LowerExtension("Report.2024.Xls"), ".xls");
  // A dot in a folder's name, or one that only starts a hidden file's name, is no extension.
  EXPECT_EQ(LowerExtension("/home/a.b/Book"), "");
  EXPECT_EQ(LowerExtension("/home/a/.ods"), "");
  // Only ASCII letters fold, whatever the locale.
  EXPECT_EQ(LowerExtension("Book.ÄXLS"), ".Äxls");
  EXPECT_TRUE(ascii::EqualsIgnoringCase("/XL/Workbook.xml", "/xl/workbook.XML"));
  EXPECT_FALSE(ascii::EqualsIgnoringCase("/xl/a.xml", "/xl/a.xm"));
}

}  // namespace
}  // namespace quillory::workbook
