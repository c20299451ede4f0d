#pragma once

#include <string>
#include <vector>

namespace quillory::libreoffice::testing {

// A fresh temporary folder, removed with the object.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The test workbook, written as .xlsx with libxlsxwriter:
//   Data:   A1 1234.5 "#,##0.00", B1 0.12 "0%", C1 5 "$#,##0.00", D1 "0123" as text, E1 Total,
//           A2 =A1*2, B2 TRUE, C2 ="" , A3 two lines, C3 7 with a note, A5:A6 {=ROW(A1:A2)*0}, J8
//           99
//   Second: C5 42 (the active sheet unless `second_active` is false: then Data)
//   Empty:  nothing
void WriteSourceWorkbook(const std::string& path, bool second_active = true);

// Data (A1 1) and a chart sheet Chart1 between it and Empty.
void WriteChartWorkbook(const std::string& path);

// LibreOffice writes chart sheets as worksheets: marks sheet `name` of an .xls as a chart sheet
// again, and makes sheet `active` (0-based) the active one.
std::string MarkChartSheet(std::string xls, const std::string& name, int active);

// Data (A1 1, protected) and Open (A1 2).
void WriteProtectedWorkbook(const std::string& path);

// A workbook of `rows` x `columns` numbers (row * 1000 + column, "#,##0" every other column).
void WriteNumbersWorkbook(const std::string& path, int rows, int columns);

// Converts with LibreOffice through the fixture tool: each entry is {in, out, filter, password or
// "-"}.
void ConvertWithLibreOffice(const std::vector<std::vector<std::string>>& jobs);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

}  // namespace quillory::libreoffice::testing
