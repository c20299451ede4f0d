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

// Formulas whose results change without their cells being written: Data: A1 5, B1 =A1*2,
// C1 =RAND(), D1 =NOW(), A2 7, B2 =SUM(A1:A2)+C1*0; Other: A1 =Data!A1+1.
void WriteRecalculatedWorkbook(const std::string& path);

// Data (A1 1) and a chart sheet Chart1 between it and Empty.
void WriteChartWorkbook(const std::string& path);

// LibreOffice writes chart sheets as worksheets: marks sheet `name` of an .xls as a chart sheet
// again, and makes sheet `active` (0-based) the active one.
std::string MarkChartSheet(std::string xls, const std::string& name, int active);

// Data (A1 1, protected) and Open (A1 2).
void WriteProtectedWorkbook(const std::string& path);

// A workbook of `rows` x `columns` numbers (row * 1000 + column, "#,##0" every other column).
void WriteNumbersWorkbook(const std::string& path, int rows, int columns);

// Texts every backend must show alike, written as .xlsx with libxlsxwriter, sheet "Shown":
//   A1 0.205818150587141, A2 -12345678901, A3 -123456789.12, A4 123456789012,
//   A5 -0.0000123456789, A6 1E+20, A7 1234.5 (all General); B1 =A1>0 (TRUE), B2 =A2>0 (FALSE),
//   B3 =AND(A1>0,A4>0) (TRUE), cached as booleans; C1 -1234.56789012345 "General;[Red]-General",
//   C2 2.5 "0.00", C3 "0.205818150587141" as text, C4 =A1*2 (General), D1 "Total".
void WriteShownWorkbook(const std::string& path);

// Sheet "Sales": A1:C5 Region, Item, Amount and four rows of numbers; LibreOffice adds a pivot
// table of it at F6 through the fixture tool's "pivot=A1:C5@F6".
void WritePivotSourceWorkbook(const std::string& path);

// Converts with LibreOffice through the fixture tool: each entry is {in, out, filter, option}, the
// option "-", "pivot=SOURCE@TARGET" or a password.
void ConvertWithLibreOffice(const std::vector<std::vector<std::string>>& jobs);

// Writes `in` as an Excel 5.0/95 workbook with Gnumeric's ssconvert.
void ConvertToExcel95(const std::string& in, const std::string& out);

// Replaces the one occurrence of `from` in `bytes` by `to`; throws when it is not there once.
std::string ReplaceOnce(std::string bytes, const std::string& from, const std::string& to);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

}  // namespace quillory::libreoffice::testing
