#include "tests/libreoffice/fixtures.h"

#include <stdlib.h>
#include <xlsxwriter.h>
#include <zip.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace quillory::libreoffice::testing {

TempFolder::TempFolder() {
  std::string pattern =
      std::filesystem::temp_directory_path().string() + "/quillory-lo-test-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void WriteSourceWorkbook(const std::string& path, bool second_active) {
  lxw_workbook* book = workbook_new(path.c_str());
  lxw_worksheet* data = workbook_add_worksheet(book, "Data");
  lxw_format* thousands = workbook_add_format(book);
  format_set_num_format(thousands, "#,##0.00");
  lxw_format* percent = workbook_add_format(book);
  format_set_num_format(percent, "0%");
  lxw_format* dollars = workbook_add_format(book);
  format_set_num_format(dollars, "$#,##0.00");
  lxw_format* text = workbook_add_format(book);
  format_set_num_format(text, "@");
  worksheet_write_number(data, 0, 0, 1234.5, thousands);
  worksheet_write_number(data, 0, 1, 0.12, percent);
  worksheet_write_number(data, 0, 2, 5, dollars);
  worksheet_write_string(data, 0, 3, "0123", text);
  worksheet_write_string(data, 0, 4, "Total", nullptr);
  worksheet_write_formula_num(data, 1, 0, "=A1*2", nullptr, 2469);
  worksheet_write_boolean(data, 1, 1, 1, nullptr);
  worksheet_write_formula_str(data, 1, 2, "=\"\"", nullptr, "");
  worksheet_write_string(data, 2, 0, "line1\nline2", nullptr);
  worksheet_write_number(data, 2, 2, 7, nullptr);
  worksheet_write_comment(data, 2, 2, "a note");
  // Depends on no converted cell and shows its cached 0 in every reader.
  worksheet_write_array_formula(data, 4, 0, 5, 0, "{=ROW(A1:A2)*0}", nullptr);
  worksheet_write_number(data, 7, 9, 99, nullptr);
  lxw_worksheet* second = workbook_add_worksheet(book, "Second");
  worksheet_write_number(second, 4, 2, 42, nullptr);
  if (second_active) worksheet_activate(second);
  workbook_add_worksheet(book, "Empty");
  if (workbook_close(book) != LXW_NO_ERROR) throw std::runtime_error("cannot write " + path);
}

void WriteRecalculatedWorkbook(const std::string& path) {
  lxw_workbook* book = workbook_new(path.c_str());
  lxw_worksheet* data = workbook_add_worksheet(book, "Data");
  lxw_format* date = workbook_add_format(book);
  format_set_num_format(date, "yyyy-mm-dd hh:mm:ss");
  worksheet_write_number(data, 0, 0, 5, nullptr);
  worksheet_write_formula_num(data, 0, 1, "=A1*2", nullptr, 10);
  worksheet_write_formula_num(data, 0, 2, "=RAND()", nullptr, 0.5);
  worksheet_write_formula_num(data, 0, 3, "=NOW()", date, 45000.25);
  worksheet_write_number(data, 1, 0, 7, nullptr);
  worksheet_write_formula_num(data, 1, 1, "=SUM(A1:A2)+C1*0", nullptr, 12);
  lxw_worksheet* other = workbook_add_worksheet(book, "Other");
  worksheet_write_formula_num(other, 0, 0, "=Data!A1+1", nullptr, 6);
  if (workbook_close(book) != LXW_NO_ERROR) throw std::runtime_error("cannot write " + path);
}

void WriteChartWorkbook(const std::string& path) {
  lxw_workbook* book = workbook_new(path.c_str());
  lxw_worksheet* data = workbook_add_worksheet(book, "Data");
  worksheet_write_number(data, 0, 0, 1, nullptr);
  lxw_chartsheet* sheet = workbook_add_chartsheet(book, "Chart1");
  lxw_chart* chart = workbook_add_chart(book, LXW_CHART_COLUMN);
  chart_add_series(chart, nullptr, "=Data!$A$1:$A$1");
  chartsheet_set_chart(sheet, chart);
  workbook_add_worksheet(book, "Empty");
  if (workbook_close(book) != LXW_NO_ERROR) throw std::runtime_error("cannot write " + path);
}

void WriteProtectedWorkbook(const std::string& path) {
  lxw_workbook* book = workbook_new(path.c_str());
  lxw_worksheet* data = workbook_add_worksheet(book, "Data");
  worksheet_write_number(data, 0, 0, 1, nullptr);
  worksheet_protect(data, nullptr, nullptr);
  lxw_worksheet* open = workbook_add_worksheet(book, "Open");
  worksheet_write_number(open, 0, 0, 2, nullptr);
  if (workbook_close(book) != LXW_NO_ERROR) throw std::runtime_error("cannot write " + path);
}

std::string MarkChartSheet(std::string xls, const std::string& name, int active) {
  // The sheet's entry: ..., kind byte, name length, 8-bit flag, name.
  const std::string entry = std::string(1, static_cast<char>(name.size())) + '\0' + name;
  const auto at = xls.find(entry);
  if (at == std::string::npos || at == 0) throw std::runtime_error("no sheet " + name);
  xls[at - 1] = 2;
  // The window record (0x3D, 18 bytes) holds the active sheet's index at offset 10.
  const auto window = xls.find(std::string("\x3D\x00\x12\x00", 4));
  if (window == std::string::npos) throw std::runtime_error("no window record");
  xls[window + 4 + 10] = static_cast<char>(active);
  return xls;
}

void WriteNumbersWorkbook(const std::string& path, int rows, int columns) {
  lxw_workbook_options options = {};
  options.constant_memory = LXW_TRUE;
  lxw_workbook* book = workbook_new_opt(path.c_str(), &options);
  lxw_worksheet* sheet = workbook_add_worksheet(book, "Numbers");
  lxw_format* thousands = workbook_add_format(book);
  format_set_num_format(thousands, "#,##0");
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      worksheet_write_number(sheet, r, c, (r + 1) * 1000.0 + c + 1, c % 2 ? thousands : nullptr);
    }
  }
  if (workbook_close(book) != LXW_NO_ERROR) throw std::runtime_error("cannot write " + path);
}

namespace {

// Replaces every `from` in the package part `part` by `to`.
void EditPart(const std::string& path, const std::string& part, const std::string& from,
              const std::string& to) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), 0, &error);
  if (!archive) throw std::runtime_error("cannot open " + path);
  zip_stat_t stat;
  zip_file_t* file = zip_stat(archive, part.c_str(), 0, &stat) == 0
                         ? zip_fopen(archive, part.c_str(), 0)
                         : nullptr;
  if (!file) throw std::runtime_error("no part " + part);
  std::string content(stat.size, '\0');
  zip_fread(file, content.data(), stat.size);
  zip_fclose(file);
  for (auto at = content.find(from); at != std::string::npos; at = content.find(from, at)) {
    content.replace(at, from.size(), to);
    at += to.size();
  }
  // The buffer must outlive zip_close, which reads it.
  zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
  if (zip_file_add(archive, part.c_str(), source, ZIP_FL_OVERWRITE) < 0 || zip_close(archive) != 0)
    throw std::runtime_error("cannot rewrite " + path);
}

}  // namespace

void WriteShownWorkbook(const std::string& path) {
  lxw_workbook* book = workbook_new(path.c_str());
  lxw_worksheet* sheet = workbook_add_worksheet(book, "Shown");
  const double numbers[] = {0.205818150587141, -12345678901, -123456789.12, 123456789012,
                            -0.0000123456789,  1e20,         1234.5};
  for (int row = 0; row < 7; ++row) worksheet_write_number(sheet, row, 0, numbers[row], nullptr);
  worksheet_write_formula_num(sheet, 0, 1, "=A1>0", nullptr, 1);
  worksheet_write_formula_num(sheet, 1, 1, "=A2>0", nullptr, 0);
  worksheet_write_formula_num(sheet, 2, 1, "=AND(A1>0,A4>0)", nullptr, 1);
  lxw_format* general_sections = workbook_add_format(book);
  format_set_num_format(general_sections, "General;[Red]-General");
  worksheet_write_number(sheet, 0, 2, -1234.56789012345, general_sections);
  lxw_format* two_places = workbook_add_format(book);
  format_set_num_format(two_places, "0.00");
  worksheet_write_number(sheet, 1, 2, 2.5, two_places);
  worksheet_write_string(sheet, 2, 2, "0.205818150587141", nullptr);
  worksheet_write_formula_num(sheet, 3, 2, "=A1*2", nullptr, 0.411636301174282);
  worksheet_write_string(sheet, 0, 3, "Total", nullptr);
  if (workbook_close(book) != LXW_NO_ERROR) throw std::runtime_error("cannot write " + path);
  // libxlsxwriter caches formula results as numbers only: B1:B3 get boolean results.
  for (const char* cell : {"B1", "B2", "B3"}) {
    EditPart(path, "xl/worksheets/sheet1.xml", std::string("<c r=\"") + cell + "\"",
             std::string("<c r=\"") + cell + "\" t=\"b\"");
  }
}

void WritePivotSourceWorkbook(const std::string& path) {
  lxw_workbook* book = workbook_new(path.c_str());
  lxw_worksheet* sheet = workbook_add_worksheet(book, "Sales");
  const char* header[] = {"Region", "Item", "Amount"};
  for (int column = 0; column < 3; ++column) {
    worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(column), header[column], nullptr);
  }
  const char* regions[] = {"North", "South", "North", "South"};
  const char* items[] = {"Pens", "Pens", "Ink", "Ink"};
  const double amounts[] = {12, 5, 7.5, 1234.56};
  for (int row = 0; row < 4; ++row) {
    worksheet_write_string(sheet, static_cast<lxw_row_t>(row + 1), 0, regions[row], nullptr);
    worksheet_write_string(sheet, static_cast<lxw_row_t>(row + 1), 1, items[row], nullptr);
    worksheet_write_number(sheet, static_cast<lxw_row_t>(row + 1), 2, amounts[row], nullptr);
  }
  if (workbook_close(book) != LXW_NO_ERROR) throw std::runtime_error("cannot write " + path);
}

void ConvertToExcel95(const std::string& in, const std::string& out) {
  const std::string command =
      "ssconvert -T Gnumeric_Excel:excel_biff7 '" + in + "' '" + out + "' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) {
    throw std::runtime_error("ssconvert failed (Debian package gnumeric): " + command);
  }
}

void ConvertWithLibreOffice(const std::vector<std::vector<std::string>>& jobs) {
  std::string command = QUILLORY_FIXTURE_TOOL;
  for (const auto& job : jobs) {
    for (const auto& arg : job) command += " '" + arg + "'";
  }
  if (std::system(command.c_str()) != 0)
    throw std::runtime_error("fixture tool failed: " + command);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReplaceOnce(std::string bytes, const std::string& from, const std::string& to) {
  const auto at = bytes.find(from);
  if (at == std::string::npos || bytes.find(from, at + 1) != std::string::npos) {
    throw std::runtime_error("not found exactly once: " + from);
  }
  return bytes.replace(at, from.size(), to);
}

}  // namespace quillory::libreoffice::testing
