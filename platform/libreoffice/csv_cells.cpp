#include "platform/libreoffice/csv_cells.h"

namespace quillory::libreoffice {

void ForEachCsvCell(std::string_view csv,
                    const std::function<void(int row, int column, std::string text)>& cell) {
  int row = 1;
  int column = 1;
  std::string field;
  std::size_t i = 0;
  const std::size_t n = csv.size();
  while (i < n) {
    field.clear();
    if (csv[i] == '"') {
      // Quoted: runs to the next lone quote; a doubled quote stands for one.
      ++i;
      while (i < n) {
        if (csv[i] == '"') {
          if (i + 1 < n && csv[i + 1] == '"') {
            field += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        field += csv[i++];
      }
    }
    while (i < n && csv[i] != ',' && csv[i] != '\n' && csv[i] != '\r') field += csv[i++];
    if (!field.empty()) cell(row, column, field);
    if (i >= n) break;
    if (csv[i] == ',') {
      ++column;
      ++i;
      continue;
    }
    if (csv[i] == '\r') ++i;
    if (i < n && csv[i] == '\n') ++i;
    ++row;
    column = 1;
  }
}

}  // namespace quillory::libreoffice
