// Writes the workbook the conversion benchmark converts: a header row and ROWS rows of COLUMNS
// numbers (whole and with cents, some negative), ROWS x COLUMNS cells in all.
//   convert_bench_workbook OUT.xlsx [ROWS [COLUMNS]]

#include <xlsxwriter.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUT.xlsx [ROWS [COLUMNS]]\n", argv[0]);
    return 2;
  }
  const long rows = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 99999;
  const long columns = argc > 3 ? std::strtol(argv[3], nullptr, 10) : 10;

  lxw_workbook_options options = {};
  options.constant_memory = LXW_TRUE;
  lxw_workbook* book = workbook_new_opt(argv[1], &options);
  lxw_worksheet* sheet = workbook_add_worksheet(book, "Data");
  for (long c = 0; c < columns; ++c) {
    worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(c),
                           ("Column " + std::to_string(c + 1)).c_str(), nullptr);
  }
  std::uint64_t state = 88172645463325252ull;  // xorshift: the same workbook every time
  for (long r = 1; r <= rows; ++r) {
    for (long c = 0; c < columns; ++c) {
      state ^= state << 13;
      state ^= state >> 7;
      state ^= state << 17;
      double value = static_cast<double>(state % 10000000);
      if (c % 3 == 1) value /= 100;  // cents
      if (c % 7 == 6) value = -value;
      worksheet_write_number(sheet, static_cast<lxw_row_t>(r), static_cast<lxw_col_t>(c), value,
                             nullptr);
    }
  }
  const lxw_error error = workbook_close(book);
  if (error != LXW_NO_ERROR) {
    std::fprintf(stderr, "%s: %s\n", argv[1], lxw_strerror(error));
    return 1;
  }
  return 0;
}
