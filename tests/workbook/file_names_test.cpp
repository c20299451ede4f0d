#include <gtest/gtest.h>

#include "workbook/file_names.h"

namespace quillory::workbook {
namespace {

TEST(FileNames, SplitPathsAsTheFileSystemDoes) {
  struct Row {
    const char* path;
    const char* folder;
    const char* name;
    const char* extension;
  };
  // A dot in a folder's name, or one that only starts a hidden file's name, is no extension;
  // only ASCII letters fold, whatever the locale.
  for (const Row& row :
       {Row{"/home/a/Book.XLSX", "/home/a", "Book.XLSX", ".xlsx"},
        Row{"/Book.xlsx", "/", "Book.xlsx", ".xlsx"},
        Row{"Report.2024.Xls", ".", "Report.2024.Xls", ".xls"},
        Row{"/home/a.b/Book", "/home/a.b", "Book", ""}, Row{"/home/a/.ods", "/home/a", ".ods", ""},
        Row{"Book.ÄXLS", ".", "Book.ÄXLS", ".Äxls"}}) {
    EXPECT_EQ(FolderOf(row.path), row.folder) << row.path;
    EXPECT_EQ(FileNameOf(row.path), row.name) << row.path;
    EXPECT_EQ(LowerExtension(row.path), row.extension) << row.path;
  }
  EXPECT_TRUE(ascii::EqualsIgnoringCase("/XL/Workbook.xml", "/xl/workbook.XML"));
  EXPECT_FALSE(ascii::EqualsIgnoringCase("/xl/a.xml", "/xl/a.xm"));
}

}  // namespace
}  // namespace quillory::workbook
