#include "platform/libreoffice/file_checks.h"

#include <unistd.h>

#include <filesystem>

#include "workbook/file_names.h"
#include "workbook/regular_file.h"

namespace quillory::libreoffice {

std::vector<std::string> ExpectedFilters(const std::string& path) {
  const std::string extension = workbook::LowerExtension(path);
  // Excel 97-2003 files: the workbook and template filters write the same format. Excel 5.0/95
  // files are read too, but cannot be written back.
  if (extension == ".xls" || extension == ".xlt") {
    return {"MS Excel 97",     "MS Excel 97 Vorlage/Template", "MS Excel 95",
            "MS Excel 5.0/95", "MS Excel 95 Vorlage/Template", "MS Excel 5.0/95 Vorlage/Template"};
  }
  if (extension == ".ods") return {"calc8"};
  if (extension == ".ots") return {"calc8_template"};
  if (extension == ".xlsx") return {"Calc MS Excel 2007 XML", "Calc Office Open XML"};
  if (extension == ".xlsm") return {"Calc MS Excel 2007 VBA XML", "Calc MS Excel 2007 XML"};
  if (extension == ".xltx" || extension == ".xltm") return {"Calc MS Excel 2007 XML Template"};
  return {};
}

bool IsExcel95Filter(std::string_view filter) {
  return filter.starts_with("MS Excel 95") || filter.starts_with("MS Excel 5.0/95");
}

std::string WhyNotWritable(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path file(path);
  if (!fs::exists(file, error)) return "the file does not exist";
  // A named pipe or device: LibreOffice would wait on it for ever.
  if (std::string why = workbook::WhyNotARegularFile(path); !why.empty()) return why;
  if (!fs::is_regular_file(file, error)) return "it is not a regular file";
  if (access(path.c_str(), R_OK) != 0) return "the file cannot be read (permission denied)";
  // The permission bits too: a file marked read-only stays so even for a user who could write it.
  const auto permissions = fs::status(file, error).permissions();
  const auto writable = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  if (access(path.c_str(), W_OK) != 0 || (permissions & writable) == fs::perms::none) {
    return "the file is read-only";
  }
  return "";
}

}  // namespace quillory::libreoffice
