#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillory::libreoffice {

// The LibreOffice import filters that may open a file with this name's extension; anything else
// means the file is not what its name says (a damaged .xls opens as text, for one) and must not be
// saved back. Empty for an extension this backend does not handle.
std::vector<std::string> ExpectedFilters(const std::string& path);

// True for the filters that read Excel 5.0/95 workbooks (BIFF5), which LibreOffice cannot write.
bool IsExcel95Filter(std::string_view filter);

// Why the workbook at `path` must not be opened for writing, "" when it may: missing, not a
// regular file, or read-only. (Lock files of other programs are the conversion run's concern: it
// locks each workbook before opening it.)
std::string WhyNotWritable(const std::string& path);

}  // namespace quillory::libreoffice
