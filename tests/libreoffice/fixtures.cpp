#include "tests/libreoffice/fixtures.h"

#include <stdlib.h>
#include <xlsxwriter.h>

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

}  // namespace quillory::libreoffice::testing
