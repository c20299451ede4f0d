#pragma once

#include <filesystem>
#include <string>

#include "engine/ascii.h"

// The pieces of a workbook's path. Header only, so that the LibreOffice plugin uses it too.
namespace quillory::workbook {

// The folder that holds `path`: "." for a bare file name, "/" for a file at the root.
inline std::string FolderOf(const std::string& path) {
  const std::string folder = std::filesystem::path(path).parent_path().string();
  return folder.empty() ? "." : folder;
}

// "Book.xlsx" for "/home/a/Book.xlsx".
inline std::string FileNameOf(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

// ".xlsx" for "Book.XLSX"; "" for a name without one (a dot that only starts a hidden file's
// name, or one in a folder's name, is none).
inline std::string LowerExtension(const std::string& path) {
  return ascii::ToLower(std::filesystem::path(path).extension().string());
}

}  // namespace quillory::workbook
