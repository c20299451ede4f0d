#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quillory::workbook {

// An expected failure of the spreadsheet application: the file and a reason the user can act on.
class WorkbookError : public std::runtime_error {
 public:
  WorkbookError(std::string file, std::string reason)
      : std::runtime_error(file.empty() ? reason : file + ": " + reason),
        file_(std::move(file)),
        reason_(std::move(reason)) {}

  const std::string& file() const { return file_; }
  const std::string& reason() const { return reason_; }

 private:
  std::string file_;
  std::string reason_;
};

// A write the application refuses for one cell only (part of a multi-cell array formula, of a
// data table or of a pivot table's output). The cell keeps its content; the rest of the workbook
// can still be converted.
class CellWriteRefused : public WorkbookError {
 public:
  using WorkbookError::WorkbookError;
};

// One non-empty cell as the application displays it. Rows and columns are absolute and 1-based.
struct CellText {
  std::int32_t row = 0;
  std::int32_t column = 0;
  std::string text;
};

class Worksheet {
 public:
  virtual ~Worksheet() = default;

  virtual std::string Name() const = 0;

  // True when the workbook keeps the sheet out of the user's view (hidden or very hidden).
  virtual bool Hidden() const { return false; }

  // The last row and column of the used range, as absolute numbers (1 when the sheet is empty).
  virtual std::int32_t LastRow() const = 0;
  virtual std::int32_t LastColumn() const = 0;

  // The cell's text as displayed; "" when the cell is empty.
  virtual std::string Text(std::int32_t row, std::int32_t column) const = 0;

  // Every cell of the rectangle whose displayed text is not empty, row by row, left to right.
  // The same cells a walk of Text() over the rectangle would find, only faster.
  virtual std::vector<CellText> NonEmptyCells(std::int32_t first_row, std::int32_t first_column,
                                              std::int32_t last_row,
                                              std::int32_t last_column) const = 0;

  // Replaces the cell's content, a formula included, by the string `value`; the cell keeps its
  // style. Throws CellWriteRefused for a cell that cannot be replaced on its own.
  virtual void WriteString(std::int32_t row, std::int32_t column, std::string_view value) = 0;
};

// A rectangle of cells on one worksheet, inclusive bounds.
struct Block {
  Worksheet* sheet = nullptr;
  std::int32_t first_row = 1;
  std::int32_t first_column = 1;
  std::int32_t last_row = 1;
  std::int32_t last_column = 1;
};

class Workbook {
 public:
  virtual ~Workbook() = default;

  virtual const std::string& Path() const = 0;

  // The worksheets, in workbook order; chart and other non-worksheet sheets are left out.
  virtual std::vector<Worksheet*> Worksheets() = 0;

  // The sheet that is active when the workbook opens. Throws WorkbookError naming the sheet when
  // it is not a worksheet.
  virtual Worksheet& ActiveSheet() = 0;

  // Why the workbook cannot be saved in place at all, "" when it can: a format the application
  // reads but cannot write, or sheets it would change on saving. Save() refuses it with this
  // reason; a dry run asks where the run would save, so that it refuses the same workbooks.
  virtual std::string SaveRefusal() { return ""; }

  // For a dry run: goes as far as Save() would short of replacing the file, and throws as Save()
  // would when a save could not be completed. Nothing is written beside the workbook.
  virtual void CheckSave() {}

  // Saves in place, same name and format. Throws WorkbookError and leaves the file as it was
  // when the save cannot be completed.
  virtual void Save() = 0;

  // Closes without saving: the file on disk keeps what it held before the workbook was opened.
  virtual void Close() = 0;
};

// One instance of the spreadsheet application.
class Application {
 public:
  virtual ~Application() = default;

  // Opens the workbook at the full path `path`. Throws WorkbookError when it cannot be opened.
  virtual std::unique_ptr<Workbook> Open(const std::string& path) = 0;

  virtual void SetVisible(bool visible) = 0;

  // Ends the instance; open workbooks are closed without saving.
  virtual void Quit() = 0;
};

// Makes the application instance that handles the workbook at `path`.
using ApplicationFactory = std::function<std::unique_ptr<Application>(const std::string& path)>;

}  // namespace quillory::workbook
