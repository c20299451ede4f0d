// The workbook interface on a headless LibreOffice, through UNO.

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/document/UpdateDocMode.hpp>
#include <com/sun/star/document/XUndoManagerSupplier.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/Locale.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/sheet/CellFlags.hpp>
#include <com/sun/star/sheet/DataPilotOutputRangeType.hpp>
#include <com/sun/star/sheet/FormulaResult.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/sheet/XCellRangeFormula.hpp>
#include <com/sun/star/sheet/XCellRangesQuery.hpp>
#include <com/sun/star/sheet/XDataPilotTable.hpp>
#include <com/sun/star/sheet/XDataPilotTable2.hpp>
#include <com/sun/star/sheet/XDataPilotTablesSupplier.hpp>
#include <com/sun/star/sheet/XSheetCellCursor.hpp>
#include <com/sun/star/sheet/XSheetCellRanges.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XSpreadsheetView.hpp>
#include <com/sun/star/sheet/XUniqueCellFormatRangesSupplier.hpp>
#include <com/sun/star/sheet/XUsedAreaCursor.hpp>
#include <com/sun/star/table/CellContentType.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/util/NumberFormat.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/util/XNumberFormats.hpp>
#include <com/sun/star/util/XNumberFormatsSupplier.hpp>
#include <com/sun/star/util/XProtectable.hpp>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <rtl/ref.hxx>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <tuple>
#include <unordered_set>
#include <vector>

#include "platform/libreoffice/biff_sheets.h"
#include "platform/libreoffice/csv_cells.h"
#include "platform/libreoffice/file_checks.h"
#include "platform/libreoffice/interaction.h"
#include "platform/libreoffice/odf_settings.h"
#include "platform/libreoffice/office.h"
#include "platform/libreoffice/plugin_api.h"
#include "platform/libreoffice/read_back.h"
#include "platform/xlsx/number_format.h"
#include "workbook/file_replace.h"

namespace quillory::libreoffice {
namespace {

namespace fs = std::filesystem;
using namespace css;
using workbook::CellText;
using workbook::CellWriteRefused;
using workbook::WorkbookError;

rtl::OUString Utf16(std::string_view text) {
  return rtl::OUString(text.data(), static_cast<sal_Int32>(text.size()), RTL_TEXTENCODING_UTF8);
}
std::string Utf8(const rtl::OUString& text) {
  return rtl::OUStringToOString(text, RTL_TEXTENCODING_UTF8).getStr();
}

beans::PropertyValue Property(const char* name, const uno::Any& value) {
  beans::PropertyValue property;
  property.Name = rtl::OUString::createFromAscii(name);
  property.Value = value;
  return property;
}

uno::Sequence<beans::PropertyValue> Properties(std::initializer_list<beans::PropertyValue> list) {
  uno::Sequence<beans::PropertyValue> properties(static_cast<sal_Int32>(list.size()));
  std::copy(list.begin(), list.end(), properties.getArray());
  return properties;
}

// The displayed text of every cell of sheet `index` (0-based) of `document`, as comma-separated
// text: one export of the sheet as "text as shown", written into `folder` (made anew, removed).
std::string ExportShownTexts(const uno::Reference<lang::XComponent>& document, int index,
                             const std::string& folder) {
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  fs::create_directories(folder);
  struct Removed {
    const std::string& folder;
    ~Removed() {
      std::error_code ignored;
      fs::remove_all(folder, ignored);
    }
  } removed{folder};
  uno::Reference<frame::XStorable> storable(document, uno::UNO_QUERY_THROW);
  // Field separator, quote, UTF-8, from line 1, -, en-US, quote text, -, as shown,
  // no formulas, keep spaces, this sheet only.
  const std::string options =
      "44,34,76,1,,1033,true,false,true,false,false," + std::to_string(index + 1);
  const auto args = Properties({
      Property("FilterName", uno::Any(Utf16("Text - txt - csv (StarCalc)"))),
      Property("FilterOptions", uno::Any(Utf16(options))),
  });
  storable->storeToURL(Utf16(FileUrl(folder + "/sheet.csv")), args);
  // LibreOffice may name the file after the sheet.
  for (const auto& entry : fs::directory_iterator(folder)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  return "";
}

struct Range {
  std::int32_t first_row, first_column, last_row, last_column;  // 1-based, inclusive
  bool Contains(std::int32_t row, std::int32_t column) const {
    return row >= first_row && row <= last_row && column >= first_column && column <= last_column;
  }
};

Range ToRange(const table::CellRangeAddress& address) {
  return {address.StartRow + 1, address.StartColumn + 1, address.EndRow + 1, address.EndColumn + 1};
}

class UnoWorkbook;

// Cells are read a sheet at a time (one export of the displayed texts) and written in blocks:
// a call to LibreOffice costs a few hundred microseconds, so per-cell calls do not scale.
class UnoWorksheet : public workbook::Worksheet {
 public:
  UnoWorksheet(UnoWorkbook& book, uno::Reference<sheet::XSpreadsheet> sheet, std::string name,
               int index, SheetKind kind,
               std::vector<std::pair<std::int32_t, std::int32_t>> booleans)
      : book_(book),
        sheet_(std::move(sheet)),
        name_(std::move(name)),
        index_(index),
        kind_(kind),
        file_booleans_(std::move(booleans)) {}

  std::string Name() const override { return name_; }
  bool Hidden() const override;
  SheetKind Kind() const { return kind_; }
  std::int32_t LastRow() const override;
  std::int32_t LastColumn() const override;
  std::string Text(std::int32_t row, std::int32_t column) const override;
  std::vector<CellText> NonEmptyCells(std::int32_t first_row, std::int32_t first_column,
                                      std::int32_t last_row,
                                      std::int32_t last_column) const override;
  void WriteString(std::int32_t row, std::int32_t column, std::string_view value) override;

  void Flush();

 private:
  void LoadExtent() const;
  void LoadSnapshot() const;
  void LoadFormulas() const;
  void LoadPivotTables();
  std::string Displayed(std::int32_t row, std::int32_t column, std::string text) const;
  bool IsBoolean(std::int32_t row, std::int32_t column) const;
  std::vector<std::pair<Range, std::optional<std::string>>> GeneralRanges(
      std::int32_t last_row, std::int32_t last_column) const;
  void ShowGeneralAndBooleans() const;

  UnoWorkbook& book_;
  uno::Reference<sheet::XSpreadsheet> sheet_;
  std::string name_;
  int index_;
  SheetKind kind_;
  // Formula cells whose result the .xls file keeps as a boolean, in order.
  std::vector<std::pair<std::int32_t, std::int32_t>> file_booleans_;

  mutable bool extent_known_ = false;
  mutable std::int32_t last_row_ = 1, last_column_ = 1;
  mutable bool snapshot_known_ = false;
  mutable std::vector<CellText> snapshot_;  // row by row, left to right
  mutable bool formulas_known_ = false;
  mutable std::vector<Range> arrays_;               // multi-cell array formulas
  mutable std::set<std::pair<int, int>> booleans_;  // =TRUE() and =FALSE() cells
  mutable int protected_ = -1;
  std::optional<std::vector<std::pair<std::string, Range>>> pivot_tables_;  // name, output
  std::map<std::pair<int, int>, std::string> pending_;
};

class UnoApplication;

class UnoWorkbook : public workbook::Workbook {
 public:
  UnoWorkbook(std::string path, std::string target, const workbook::FileIdentity& opened,
              uno::Reference<lang::XComponent> component, const OfficeSettings& settings,
              SourceWorkbook source, std::string odf_settings)
      : path_(std::move(path)),
        target_(std::move(target)),
        opened_(opened),
        odf_settings_(std::move(odf_settings)),
        component_(std::move(component)),
        settings_(settings),
        generation_(Office::Shared().Generation()),
        source_(std::move(source)) {}
  ~UnoWorkbook() override;

  const std::string& Path() const override { return path_; }
  std::vector<workbook::Worksheet*> Worksheets() override;
  workbook::Worksheet& ActiveSheet() override;
  std::string SaveRefusal() override;
  void CheckSave() override;
  void Save() override;
  void Close() override;

  // Runs a call into LibreOffice for this workbook under the watchdog.
  template <class Call>
  auto Guarded(std::string_view what, Call&& call, bool long_call = false) -> decltype(call()) {
    if (closed_) throw WorkbookError(path_, "the workbook is already closed");
    if (Office::Shared().Generation() != generation_ || Office::Shared().Pid() == 0) {
      throw WorkbookError(path_, "the LibreOffice instance that had it open has ended");
    }
    return Office::Shared().Guarded(path_, what,
                                    long_call ? settings_.open_timeout : settings_.call_timeout,
                                    std::forward<Call>(call));
  }
  uno::Reference<lang::XComponent> Component() const { return component_; }

  void Attach(std::shared_ptr<std::set<UnoWorkbook*>> open) { open_ = std::move(open); }
  // The import filter LibreOffice read the file with; a save writes with it again.
  void KeepFilter(std::string filter) { filter_ = std::move(filter); }

  // A hidden workbook's view does not keep the active sheet when saved, and a hidden .xls even
  // opens on its first sheet whatever the file says: the view is turned to the right sheet.
  void RestoreActiveSheet();

  // How the application shows numbers under the number format `key`: "" for General, a code for
  // one that shows them through General ("General;[Red]-General"), nothing for any other (then
  // LibreOffice's own text stands). Makes calls into LibreOffice: call it under Guarded().
  const std::optional<std::string>& GeneralFormat(sal_Int32 key);

 private:
  void LoadSheets();
  // The cells of every sheet of `document` (this workbook, or the copy of it a save stored),
  // for comparing the two; `scratch` is a folder for exports. `which` names it in failures.
  std::vector<SheetState> ReadState(const uno::Reference<lang::XComponent>& document,
                                    const std::string& scratch, const std::string& which);
  // Opens the copy a save stored at `stored` as LibreOffice will read it and throws when it does
  // not give back this workbook's cells.
  void CheckReadBack(const std::string& stored, const std::string& scratch);
  // Stores the workbook in `folder` (made anew) as a save does, with its view settings, and checks
  // that it reads back; returns the file. Throws when a save could not be completed.
  std::string StoreChecked(const std::string& folder);

  std::string path_;
  std::string target_;             // the file a save replaces (through a link, the file itself)
  workbook::FileIdentity opened_;  // that file as it was when opened
  std::string odf_settings_;       // an OpenDocument file's settings part as it was opened
  uno::Reference<lang::XComponent> component_;
  OfficeSettings settings_;
  int generation_;
  bool closed_ = false;
  bool sheets_known_ = false;
  std::vector<std::unique_ptr<UnoWorksheet>> sheets_;
  std::shared_ptr<std::set<UnoWorkbook*>> open_;
  SourceWorkbook source_;  // the sheet kinds (and for .xls the active sheet) the file gives
  std::string filter_;     // the import filter LibreOffice read it with
  std::map<sal_Int32, std::optional<std::string>> general_formats_;
  uno::Reference<util::XNumberFormats> number_formats_;
};

// ---- worksheet ----

void UnoWorksheet::LoadExtent() const {
  if (extent_known_) return;
  book_.Guarded("finding the used range of sheet " + name_, [&] {
    uno::Reference<sheet::XSheetCellCursor> cursor = sheet_->createCursor();
    uno::Reference<sheet::XUsedAreaCursor> used(cursor, uno::UNO_QUERY_THROW);
    used->gotoEndOfUsedArea(false);
    const auto address = uno::Reference<sheet::XCellRangeAddressable>(cursor, uno::UNO_QUERY_THROW)
                             ->getRangeAddress();
    last_row_ = address.EndRow + 1;
    last_column_ = address.EndColumn + 1;
  });
  extent_known_ = true;
}

std::int32_t UnoWorksheet::LastRow() const {
  const_cast<UnoWorksheet*>(this)->Flush();
  LoadExtent();
  return last_row_;
}

std::int32_t UnoWorksheet::LastColumn() const {
  const_cast<UnoWorksheet*>(this)->Flush();
  LoadExtent();
  return last_column_;
}

// Formula cells: array formulas (refused as write targets when they span several cells) and the
// boolean constants LibreOffice keeps as =TRUE() and =FALSE(), shown as 1 and 0 until recalculated.
void UnoWorksheet::LoadFormulas() const {
  if (formulas_known_) return;
  arrays_.clear();
  booleans_.clear();
  book_.Guarded("reading the formulas of sheet " + name_, [&] {
    uno::Reference<sheet::XCellRangesQuery> query(sheet_, uno::UNO_QUERY_THROW);
    const auto ranges = query->queryContentCells(sheet::CellFlags::FORMULA)->getRangeAddresses();
    for (const auto& address : ranges) {
      uno::Reference<table::XCellRange> range = sheet_->getCellRangeByPosition(
          address.StartColumn, address.StartRow, address.EndColumn, address.EndRow);
      const auto formulas =
          uno::Reference<sheet::XCellRangeFormula>(range, uno::UNO_QUERY_THROW)->getFormulaArray();
      for (sal_Int32 r = 0; r < formulas.getLength(); ++r) {
        for (sal_Int32 c = 0; c < formulas[r].getLength(); ++c) {
          const rtl::OUString& formula = formulas[r][c];
          const int row = address.StartRow + r + 1;
          const int column = address.StartColumn + c + 1;
          if (formula.equalsIgnoreAsciiCase("=TRUE()") ||
              formula.equalsIgnoreAsciiCase("=FALSE()")) {
            booleans_.insert({row, column});
          } else if (formula.startsWith("{=")) {
            const bool known = std::any_of(arrays_.begin(), arrays_.end(),
                                           [&](const Range& a) { return a.Contains(row, column); });
            if (known) continue;
            uno::Reference<sheet::XSheetCellCursor> cursor =
                sheet_->createCursorByRange(uno::Reference<sheet::XSheetCellRange>(
                    sheet_->getCellRangeByPosition(column - 1, row - 1, column - 1, row - 1),
                    uno::UNO_QUERY_THROW));
            cursor->collapseToCurrentArray();
            const Range array =
                ToRange(uno::Reference<sheet::XCellRangeAddressable>(cursor, uno::UNO_QUERY_THROW)
                            ->getRangeAddress());
            arrays_.push_back(array);
          }
        }
      }
    }
  });
  formulas_known_ = true;
}

std::string UnoWorksheet::Displayed(std::int32_t row, std::int32_t column, std::string text) const {
  if ((text == "1" || text == "0") && booleans_.count({row, column}) != 0) {
    return text == "1" ? "TRUE" : "FALSE";
  }
  return text;
}

bool UnoWorksheet::IsBoolean(std::int32_t row, std::int32_t column) const {
  return booleans_.count({row, column}) != 0 ||
         std::binary_search(file_booleans_.begin(), file_booleans_.end(),
                            std::make_pair(row, column));
}

// The rectangles within rows 1 to `last_row` and columns 1 to `last_column` whose number format
// shows numbers through General, each with its format (UnoWorkbook::GeneralFormat). Makes calls
// into LibreOffice: call it under Guarded().
std::vector<std::pair<Range, std::optional<std::string>>> UnoWorksheet::GeneralRanges(
    std::int32_t last_row, std::int32_t last_column) const {
  std::vector<std::pair<Range, std::optional<std::string>>> ranges;
  uno::Reference<sheet::XUniqueCellFormatRangesSupplier> supplier(sheet_, uno::UNO_QUERY_THROW);
  uno::Reference<container::XIndexAccess> groups = supplier->getUniqueCellFormatRanges();
  for (sal_Int32 i = 0; i < groups->getCount(); ++i) {
    uno::Reference<beans::XPropertySet> group(groups->getByIndex(i), uno::UNO_QUERY_THROW);
    const std::optional<std::string>& format =
        book_.GeneralFormat(group->getPropertyValue("NumberFormat").get<sal_Int32>());
    if (!format) continue;
    const auto addresses =
        uno::Reference<sheet::XSheetCellRanges>(group, uno::UNO_QUERY_THROW)->getRangeAddresses();
    for (const auto& address : addresses) {
      Range range = ToRange(address);
      if (range.first_row > last_row || range.first_column > last_column) continue;
      range.last_row = std::min(range.last_row, last_row);
      range.last_column = std::min(range.last_column, last_column);
      ranges.emplace_back(range, format);
    }
  }
  return ranges;
}

// LibreOffice shows General numbers with up to 15 digits, and the boolean results of .xls
// formulas as 1 and 0; the application shows General in 11 characters and booleans as TRUE and
// FALSE. Such cells of the snapshot are shown from their values as the embedded engine shows them,
// so that a workbook's texts do not depend on its file format.
void UnoWorksheet::ShowGeneralAndBooleans() const {
  if (snapshot_.empty()) return;
  const std::int32_t last_row = snapshot_.back().row;
  std::int32_t last_column = 1;
  for (const CellText& cell : snapshot_) last_column = std::max(last_column, cell.column);
  const auto general = book_.Guarded("reading the number formats of sheet " + name_,
                                     [&] { return GeneralRanges(last_row, last_column); });
  // Each column's General rows, in order (the ranges of different formats do not overlap).
  struct Rows {
    std::int32_t first, last;
    const std::optional<std::string>* format;
  };
  std::vector<std::vector<Rows>> columns(static_cast<std::size_t>(last_column) + 1);
  for (const auto& [range, format] : general) {
    for (std::int32_t c = range.first_column; c <= range.last_column; ++c) {
      columns[static_cast<std::size_t>(c)].push_back({range.first_row, range.last_row, &format});
    }
  }
  for (auto& rows : columns) {
    std::sort(rows.begin(), rows.end(),
              [](const Rows& a, const Rows& b) { return a.first < b.first; });
  }
  // The cells to show anew: their index in the snapshot and their format (none for a boolean).
  std::vector<std::pair<std::size_t, const std::optional<std::string>*>> wanted;
  for (std::size_t i = 0; i < snapshot_.size(); ++i) {
    const CellText& cell = snapshot_[i];
    if (IsBoolean(cell.row, cell.column)) {
      wanted.emplace_back(i, nullptr);
      continue;
    }
    const auto& rows = columns[static_cast<std::size_t>(cell.column)];
    auto after = std::upper_bound(rows.begin(), rows.end(), cell.row,
                                  [](std::int32_t row, const Rows& r) { return row < r.first; });
    if (after != rows.begin() && std::prev(after)->last >= cell.row) {
      wanted.emplace_back(i, std::prev(after)->format);
    }
  }
  // Their values, a block of rows at a time: one call per block, none of more than this many cells.
  constexpr std::int64_t kBlockCells = std::int64_t{1} << 16;
  for (std::size_t begin = 0; begin < wanted.size();) {
    const std::int32_t first_row = snapshot_[wanted[begin].first].row;
    std::int32_t first_column = snapshot_[wanted[begin].first].column;
    std::int32_t last_column_in_block = first_column;
    std::size_t end = begin + 1;
    for (; end < wanted.size(); ++end) {
      const CellText& next = snapshot_[wanted[end].first];
      const std::int32_t low = std::min(first_column, next.column);
      const std::int32_t high = std::max(last_column_in_block, next.column);
      if (std::int64_t{next.row - first_row + 1} * (high - low + 1) > kBlockCells) break;
      first_column = low;
      last_column_in_block = high;
    }
    const std::int32_t last_row_in_block = snapshot_[wanted[end - 1].first].row;
    const auto values = book_.Guarded("reading the values of sheet " + name_, [&] {
      return uno::Reference<sheet::XCellRangeData>(
                 sheet_->getCellRangeByPosition(first_column - 1, first_row - 1,
                                                last_column_in_block - 1, last_row_in_block - 1),
                 uno::UNO_QUERY_THROW)
          ->getDataArray();
    });
    for (std::size_t k = begin; k < end; ++k) {
      CellText& cell = snapshot_[wanted[k].first];
      const sal_Int32 r = cell.row - first_row, c = cell.column - first_column;
      if (r >= values.getLength() || c >= values[r].getLength()) continue;
      double number = 0;
      if (!(values[r][c] >>= number))
        continue;  // text, an error or nothing: as LibreOffice shows it
      const std::optional<std::string>* format = wanted[k].second;
      if (!format) {
        if (number == 1 || number == 0) cell.text = number == 1 ? "TRUE" : "FALSE";
      } else if ((*format)->empty()) {
        cell.text = xlsx::FormatGeneral(number);
      } else if (auto text = xlsx::FormatThroughGeneral(number, **format)) {
        cell.text = std::move(*text);
      }
    }
    begin = end;
  }
}

// The displayed text of every cell, from one export of the sheet as "text as shown".
void UnoWorksheet::LoadSnapshot() const {
  if (snapshot_known_) return;
  LoadFormulas();
  const std::string scratch = Office::Shared().ScratchFolder();
  if (scratch.empty()) {
    throw WorkbookError(book_.Path(), "the LibreOffice instance that had it open has ended");
  }
  const std::string folder = scratch + "/" + std::to_string(index_) + "-" +
                             std::to_string(reinterpret_cast<std::uintptr_t>(this));
  const std::string csv = book_.Guarded("reading the cells of sheet " + name_, [&] {
    return ExportShownTexts(book_.Component(), index_, folder);
  });
  snapshot_.clear();
  ForEachCsvCell(csv, [&](int row, int column, std::string text) {
    snapshot_.push_back({row, column, Displayed(row, column, std::move(text))});
  });
  ShowGeneralAndBooleans();
  snapshot_known_ = true;
}

std::string UnoWorksheet::Text(std::int32_t row, std::int32_t column) const {
  const_cast<UnoWorksheet*>(this)->Flush();
  LoadFormulas();
  const std::string text =
      book_.Guarded("reading cell " + CellName(row, column) + " of sheet " + name_, [&] {
        uno::Reference<table::XCell> cell = sheet_->getCellByPosition(column - 1, row - 1);
        std::string shown =
            Utf8(uno::Reference<text::XText>(cell, uno::UNO_QUERY_THROW)->getString());
        // Numbers in General and booleans as ShowGeneralAndBooleans() shows them.
        if (shown.empty()) return shown;
        uno::Reference<beans::XPropertySet> properties(cell, uno::UNO_QUERY_THROW);
        const table::CellContentType type = cell->getType();
        const bool number = type == table::CellContentType_VALUE ||
                            (type == table::CellContentType_FORMULA &&
                             properties->getPropertyValue("FormulaResultType2").get<sal_Int32>() ==
                                 sheet::FormulaResult::VALUE);
        if (!number) return shown;
        const double value = cell->getValue();
        if (IsBoolean(row, column)) {
          return value == 1 ? std::string("TRUE") : value == 0 ? std::string("FALSE") : shown;
        }
        const std::optional<std::string>& format =
            book_.GeneralFormat(properties->getPropertyValue("NumberFormat").get<sal_Int32>());
        if (!format) return shown;
        if (format->empty()) return xlsx::FormatGeneral(value);
        return xlsx::FormatThroughGeneral(value, *format).value_or(shown);
      });
  return Displayed(row, column, text);
}

// Served from the sheet's texts as read before this walk's writes, with the strings written since
// in their places: reading in bands between writes costs no new export.
std::vector<CellText> UnoWorksheet::NonEmptyCells(std::int32_t first_row, std::int32_t first_column,
                                                  std::int32_t last_row,
                                                  std::int32_t last_column) const {
  if (!snapshot_known_) {
    const_cast<UnoWorksheet*>(this)->Flush();
    LoadSnapshot();
  }
  std::vector<CellText> cells;
  const Range wanted{first_row, first_column, last_row, last_column};
  for (const CellText& cell : snapshot_) {
    if (!wanted.Contains(cell.row, cell.column)) continue;
    const auto written = pending_.find({cell.row, cell.column});
    if (written == pending_.end()) {
      cells.push_back(cell);
    } else if (!written->second.empty()) {
      cells.push_back({cell.row, cell.column, written->second});
    }
  }
  bool added = false;
  for (const auto& [position, text] : pending_) {
    if (text.empty() || !wanted.Contains(position.first, position.second)) continue;
    const bool known = std::binary_search(
        snapshot_.begin(), snapshot_.end(), CellText{position.first, position.second, {}},
        [](const CellText& a, const CellText& b) {
          return std::tie(a.row, a.column) < std::tie(b.row, b.column);
        });
    if (!known) {
      cells.push_back({position.first, position.second, text});
      added = true;
    }
  }
  if (added) {
    std::sort(cells.begin(), cells.end(), [](const CellText& a, const CellText& b) {
      return std::tie(a.row, a.column) < std::tie(b.row, b.column);
    });
  }
  return cells;
}

void UnoWorksheet::LoadPivotTables() {
  if (pivot_tables_) return;
  pivot_tables_ = book_.Guarded("finding the pivot tables of sheet " + name_, [&] {
    std::vector<std::pair<std::string, Range>> tables;
    uno::Reference<sheet::XDataPilotTablesSupplier> supplier(sheet_, uno::UNO_QUERY);
    if (!supplier.is()) return tables;
    uno::Reference<container::XIndexAccess> all(supplier->getDataPilotTables(),
                                                uno::UNO_QUERY_THROW);
    for (sal_Int32 i = 0; i < all->getCount(); ++i) {
      uno::Reference<sheet::XDataPilotTable> table(all->getByIndex(i), uno::UNO_QUERY_THROW);
      uno::Reference<container::XNamed> named(table, uno::UNO_QUERY);
      tables.emplace_back(named.is() ? Utf8(named->getName()) : std::string(),
                          ToRange(table->getOutputRange()));
    }
    return tables;
  });
}

void UnoWorksheet::WriteString(std::int32_t row, std::int32_t column, std::string_view value) {
  LoadFormulas();
  for (const Range& array : arrays_) {
    if (array.Contains(row, column) &&
        (array.first_row != array.last_row || array.first_column != array.last_column)) {
      throw CellWriteRefused(book_.Path(), "cell " + CellName(row, column) + " of sheet " + name_ +
                                               " is part of an array formula (" +
                                               CellName(array.first_row, array.first_column) + ":" +
                                               CellName(array.last_row, array.last_column) +
                                               ") and was left as it was");
    }
  }
  // A pivot table's cells are refilled by it: the application refuses to change them.
  LoadPivotTables();
  for (const auto& [table, range] : *pivot_tables_) {
    if (!range.Contains(row, column)) continue;
    throw CellWriteRefused(book_.Path(), "cell " + CellName(row, column) + " of sheet " + name_ +
                                             " is part of the pivot table " +
                                             (table.empty() ? "" : "\"" + table + "\" ") + "(" +
                                             CellName(range.first_row, range.first_column) + ":" +
                                             CellName(range.last_row, range.last_column) +
                                             ") and was left as it was");
  }
  if (protected_ < 0) {
    protected_ = book_.Guarded("checking the protection of sheet " + name_, [&] {
      return uno::Reference<util::XProtectable>(sheet_, uno::UNO_QUERY_THROW)->isProtected() ? 1
                                                                                             : 0;
    });
  }
  if (protected_ == 1) {
    throw WorkbookError(book_.Path(), "sheet " + name_ + " is protected; cell " +
                                          CellName(row, column) + " cannot be written");
  }
  pending_[{row, column}] = std::string(value);
}

// Writes the pending strings: rectangles of written cells in one call each, as text (never read
// as numbers). Cells with a note are written one by one, since a block write clears notes.
void UnoWorksheet::Flush() {
  if (pending_.empty()) return;
  auto pending = std::move(pending_);
  pending_.clear();
  extent_known_ = false;
  snapshot_known_ = false;
  formulas_known_ = false;
  book_.Guarded("writing the cells of sheet " + name_, [&] {
    std::set<std::pair<int, int>> noted;
    uno::Reference<sheet::XCellRangesQuery> query(sheet_, uno::UNO_QUERY_THROW);
    for (const auto& address :
         query->queryContentCells(sheet::CellFlags::ANNOTATION)->getRangeAddresses()) {
      for (int r = address.StartRow + 1; r <= address.EndRow + 1; ++r) {
        for (int c = address.StartColumn + 1; c <= address.EndColumn + 1; ++c) {
          if (pending.count({r, c}) != 0) noted.insert({r, c});
        }
      }
    }
    for (const auto& cell : noted) {
      uno::Reference<text::XText> text(sheet_->getCellByPosition(cell.second - 1, cell.first - 1),
                                       uno::UNO_QUERY_THROW);
      text->setString(Utf16(pending[cell]));
      pending.erase(cell);
    }

    // Runs of consecutive columns in a row, then runs over the same columns merged downwards.
    struct Box {
      int first_row, last_row, first_column, last_column;
    };
    std::vector<Box> boxes;
    std::map<std::pair<int, int>, std::size_t> open;  // columns -> box ending on the row above
    int current_row = 0;
    std::map<std::pair<int, int>, std::size_t> next_open;
    for (auto it = pending.begin(); it != pending.end();) {
      const int row = it->first.first;
      if (row != current_row) {
        open = current_row + 1 == row ? std::move(next_open) : decltype(open){};
        next_open.clear();
        current_row = row;
      }
      const int first = it->first.second;
      int last = first;
      auto end = std::next(it);
      while (end != pending.end() && end->first.first == row && end->first.second == last + 1) {
        ++last;
        ++end;
      }
      const auto found = open.find({first, last});
      if (found != open.end()) {
        boxes[found->second].last_row = row;
        next_open[{first, last}] = found->second;
      } else {
        boxes.push_back({row, row, first, last});
        next_open[{first, last}] = boxes.size() - 1;
      }
      it = end;
    }
    for (const Box& box : boxes) {
      uno::Sequence<uno::Sequence<uno::Any>> data(box.last_row - box.first_row + 1);
      auto* rows = data.getArray();
      for (int r = box.first_row; r <= box.last_row; ++r) {
        uno::Sequence<uno::Any> line(box.last_column - box.first_column + 1);
        auto* values = line.getArray();
        for (int c = box.first_column; c <= box.last_column; ++c) {
          values[c - box.first_column] <<= Utf16(pending[{r, c}]);
        }
        rows[r - box.first_row] = line;
      }
      uno::Reference<sheet::XCellRangeData> range(
          sheet_->getCellRangeByPosition(box.first_column - 1, box.first_row - 1,
                                         box.last_column - 1, box.last_row - 1),
          uno::UNO_QUERY_THROW);
      range->setDataArray(data);
    }
  });
}

bool UnoWorksheet::Hidden() const {
  return book_.Guarded("reading whether a sheet is hidden", [&] {
    bool visible = true;
    uno::Reference<beans::XPropertySet>(sheet_, uno::UNO_QUERY_THROW)
        ->getPropertyValue("IsVisible") >>= visible;
    return !visible;
  });
}

// ---- workbook ----

UnoWorkbook::~UnoWorkbook() {
  try {
    Close();
  } catch (...) {
  }
}

void UnoWorkbook::LoadSheets() {
  if (sheets_known_) return;
  Guarded("listing the sheets", [&] {
    uno::Reference<sheet::XSpreadsheetDocument> document(component_, uno::UNO_QUERY_THROW);
    uno::Reference<container::XIndexAccess> sheets(document->getSheets(), uno::UNO_QUERY_THROW);
    for (sal_Int32 i = 0; i < sheets->getCount(); ++i) {
      uno::Reference<sheet::XSpreadsheet> sheet(sheets->getByIndex(i), uno::UNO_QUERY_THROW);
      const std::string name =
          Utf8(uno::Reference<container::XNamed>(sheet, uno::UNO_QUERY_THROW)->getName());
      const SourceSheet* source = nullptr;
      for (const SourceSheet& candidate : source_.sheets) {
        if (candidate.name == name) source = &candidate;
      }
      sheets_.push_back(std::make_unique<UnoWorksheet>(
          *this, sheet, name, i, source ? source->kind : SheetKind::Worksheet,
          source ? source->booleans : std::vector<std::pair<std::int32_t, std::int32_t>>()));
    }
  });
  sheets_known_ = true;
}

void UnoWorkbook::RestoreActiveSheet() {
  const bool known =
      source_.active >= 0 && source_.active < static_cast<int>(source_.sheets.size());
  Guarded("opening the workbook", [&] {
    uno::Reference<frame::XModel> model(component_, uno::UNO_QUERY_THROW);
    uno::Reference<frame::XController> controller = model->getCurrentController();
    uno::Reference<sheet::XSpreadsheetView> view(controller, uno::UNO_QUERY);
    if (!view.is()) return;
    uno::Reference<sheet::XSpreadsheet> active = view->getActiveSheet();
    if (known) {
      const auto sheets =
          uno::Reference<sheet::XSpreadsheetDocument>(component_, uno::UNO_QUERY_THROW)
              ->getSheets();
      const rtl::OUString name =
          Utf16(source_.sheets[static_cast<std::size_t>(source_.active)].name);
      if (sheets->hasByName(name)) active.set(sheets->getByName(name), uno::UNO_QUERY_THROW);
    }
    // Set even when unchanged: only a sheet set on the view is written back when saving.
    if (!active.is()) return;
    const auto sheets =
        uno::Reference<sheet::XSpreadsheetDocument>(component_, uno::UNO_QUERY_THROW)->getSheets();
    uno::Reference<container::XIndexAccess> all(sheets, uno::UNO_QUERY_THROW);
    if (all->getCount() > 1) {
      uno::Reference<sheet::XSpreadsheet> other(all->getByIndex(0), uno::UNO_QUERY_THROW);
      if (uno::Reference<container::XNamed>(other, uno::UNO_QUERY_THROW)->getName() ==
          uno::Reference<container::XNamed>(active, uno::UNO_QUERY_THROW)->getName()) {
        other.set(all->getByIndex(1), uno::UNO_QUERY_THROW);
      }
      view->setActiveSheet(other);
    }
    view->setActiveSheet(active);
  });
}

std::vector<workbook::Worksheet*> UnoWorkbook::Worksheets() {
  LoadSheets();
  std::vector<workbook::Worksheet*> sheets;
  for (auto& sheet : sheets_) {
    if (sheet->Kind() == SheetKind::Worksheet) sheets.push_back(sheet.get());
  }
  return sheets;
}

workbook::Worksheet& UnoWorkbook::ActiveSheet() {
  LoadSheets();
  const std::string name = Guarded("finding the active sheet", [&] {
    uno::Reference<frame::XModel> model(component_, uno::UNO_QUERY_THROW);
    uno::Reference<sheet::XSpreadsheetView> view(model->getCurrentController(), uno::UNO_QUERY);
    if (!view.is()) return std::string();
    return Utf8(
        uno::Reference<container::XNamed>(view->getActiveSheet(), uno::UNO_QUERY_THROW)->getName());
  });
  for (auto& sheet : sheets_) {
    if (sheet->Name() != name) continue;
    if (sheet->Kind() == SheetKind::Chart) {
      throw WorkbookError(path_, "the active sheet " + name + " is a chart sheet, not a worksheet");
    }
    if (sheet->Kind() != SheetKind::Worksheet) {
      throw WorkbookError(path_, "the active sheet " + name + " is not a worksheet");
    }
    return *sheet;
  }
  if (name.empty() && !sheets_.empty()) return *sheets_.front();
  throw WorkbookError(path_, "the active sheet " + name + " is not a worksheet");
}

const std::optional<std::string>& UnoWorkbook::GeneralFormat(sal_Int32 key) {
  const auto known = general_formats_.find(key);
  if (known != general_formats_.end()) return known->second;
  if (!number_formats_.is()) {
    number_formats_ = uno::Reference<util::XNumberFormatsSupplier>(component_, uno::UNO_QUERY_THROW)
                          ->getNumberFormats();
  }
  std::optional<std::string> general;
  const uno::Reference<beans::XPropertySet> format = number_formats_->getByKey(key);
  if (format.is()) {
    // Every locale has a General of its own ("Standard" in German): its standard number format.
    if (format->getPropertyValue("StandardFormat").get<bool>() &&
        format->getPropertyValue("Type").get<sal_Int16>() == util::NumberFormat::NUMBER) {
      general = "";
    } else {
      // Other codes are in their locale's words; only English ones read as the application's.
      const auto locale = format->getPropertyValue("Locale").get<lang::Locale>();
      const std::string code = Utf8(format->getPropertyValue("FormatString").get<rtl::OUString>());
      if ((locale.Language.isEmpty() || locale.Language == "en") &&
          xlsx::FormatThroughGeneral(0, code)) {
        general = code;
      }
    }
  }
  return general_formats_.emplace(key, std::move(general)).first->second;
}

std::string UnoWorkbook::SaveRefusal() {
  if (source_.excel95 || IsExcel95Filter(filter_)) {
    return "it is an Excel 5.0/95 workbook, a format LibreOffice can read but not write; save it "
           "as an Excel 97-2003 workbook (.xls) or as .xlsx first, then convert that (it was left "
           "unchanged)";
  }
  LoadSheets();
  // LibreOffice keeps chart and macro sheets as ordinary sheets and would save them so.
  std::string others;
  for (auto& sheet : sheets_) {
    if (sheet->Kind() == SheetKind::Worksheet) continue;
    others += (others.empty() ? "" : ", ") + sheet->Name();
  }
  if (!others.empty()) {
    return "it has chart or macro sheets (" + others +
           ") that LibreOffice would save as ordinary worksheets; it was left unchanged";
  }
  return "";
}

std::vector<SheetState> UnoWorkbook::ReadState(const uno::Reference<lang::XComponent>& document,
                                               const std::string& scratch,
                                               const std::string& which) {
  using Sheets = std::vector<std::pair<std::string, uno::Reference<sheet::XSpreadsheet>>>;
  const Sheets sheets = Guarded("listing the sheets of " + which, [&] {
    uno::Reference<container::XIndexAccess> all(
        uno::Reference<sheet::XSpreadsheetDocument>(document, uno::UNO_QUERY_THROW)->getSheets(),
        uno::UNO_QUERY_THROW);
    Sheets list;
    for (sal_Int32 i = 0; i < all->getCount(); ++i) {
      uno::Reference<sheet::XSpreadsheet> sheet(all->getByIndex(i), uno::UNO_QUERY_THROW);
      list.emplace_back(
          Utf8(uno::Reference<container::XNamed>(sheet, uno::UNO_QUERY_THROW)->getName()), sheet);
    }
    return list;
  });
  const auto key = [](std::int64_t row, std::int64_t column) { return row << 32 | column; };
  std::vector<SheetState> states;
  for (std::size_t index = 0; index < sheets.size(); ++index) {
    const auto& [name, sheet] = sheets[index];
    const std::string what = "reading sheet " + name + " of " + which;
    SheetState state{name, {}, {}};
    // Where the non-empty cells lie, and which of them hold formulas.
    std::vector<table::CellRangeAddress> contents;
    std::unordered_set<std::int64_t> formulas;
    Guarded(what, [&] {
      uno::Reference<sheet::XCellRangesQuery> query(sheet, uno::UNO_QUERY_THROW);
      const auto found =
          query
              ->queryContentCells(sheet::CellFlags::VALUE | sheet::CellFlags::DATETIME |
                                  sheet::CellFlags::STRING | sheet::CellFlags::FORMULA)
              ->getRangeAddresses();
      contents.assign(found.begin(), found.end());
      for (const auto& address :
           query->queryContentCells(sheet::CellFlags::FORMULA)->getRangeAddresses()) {
        for (sal_Int32 r = address.StartRow; r <= address.EndRow; ++r) {
          for (sal_Int32 c = address.StartColumn; c <= address.EndColumn; ++c) {
            formulas.insert(key(r + 1, c + 1));
          }
        }
      }
    });
    // Their contents, in bands of rows across the columns in use: one call per band that holds
    // any, none of more than this many cells.
    if (!contents.empty()) {
      constexpr std::int64_t kBlockCells = std::int64_t{1} << 16;
      sal_Int32 first_row = contents.front().StartRow, last_row = contents.front().EndRow;
      sal_Int32 first_column = contents.front().StartColumn;
      sal_Int32 last_column = contents.front().EndColumn;
      for (const auto& address : contents) {
        first_row = std::min(first_row, address.StartRow);
        last_row = std::max(last_row, address.EndRow);
        first_column = std::min(first_column, address.StartColumn);
        last_column = std::max(last_column, address.EndColumn);
      }
      const sal_Int32 band = static_cast<sal_Int32>(
          std::max<std::int64_t>(1, kBlockCells / (last_column - first_column + 1)));
      std::vector<char> used(static_cast<std::size_t>((last_row - first_row) / band) + 1);
      for (const auto& address : contents) {
        for (sal_Int32 b = (address.StartRow - first_row) / band;
             b <= (address.EndRow - first_row) / band; ++b) {
          used[static_cast<std::size_t>(b)] = 1;
        }
      }
      for (std::size_t b = 0; b < used.size(); ++b) {
        if (!used[b]) continue;
        const sal_Int32 top = first_row + static_cast<sal_Int32>(b) * band;
        const sal_Int32 bottom = std::min(last_row, top + band - 1);
        const auto rows = Guarded(what, [&] {
          return uno::Reference<sheet::XCellRangeFormula>(
                     sheet->getCellRangeByPosition(first_column, top, last_column, bottom),
                     uno::UNO_QUERY_THROW)
              ->getFormulaArray();
        });
        for (sal_Int32 r = 0; r < rows.getLength(); ++r) {
          for (sal_Int32 c = 0; c < rows[r].getLength(); ++c) {
            if (rows[r][c].isEmpty()) continue;
            const std::int32_t row = top + r + 1, column = first_column + c + 1;
            state.cells.push_back(
                {row, column, formulas.count(key(row, column)) != 0, Utf8(rows[r][c]), {}});
          }
        }
      }
    }
    Guarded(what, [&] {
      uno::Reference<sheet::XDataPilotTablesSupplier> supplier(sheet, uno::UNO_QUERY);
      if (!supplier.is()) return;
      uno::Reference<container::XIndexAccess> tables(supplier->getDataPilotTables(),
                                                     uno::UNO_QUERY_THROW);
      for (sal_Int32 i = 0; i < tables->getCount(); ++i) {
        // The whole output, with the filter fields above the table.
        uno::Reference<sheet::XDataPilotTable2> table(tables->getByIndex(i), uno::UNO_QUERY_THROW);
        const Range area =
            ToRange(table->getOutputRangeByType(sheet::DataPilotOutputRangeType::WHOLE));
        state.pivot_tables.push_back(
            {area.first_row, area.first_column, area.last_row, area.last_column});
      }
    });
    // Their displayed texts.
    const std::string csv = Guarded(what, [&] {
      return ExportShownTexts(document, static_cast<int>(index), scratch + "/shown.export");
    });
    std::size_t next = 0;
    std::vector<CellState> shown_only;
    ForEachCsvCell(csv, [&](int row, int column, std::string text) {
      const auto before = [&](const CellState& cell) {
        return std::tie(cell.row, cell.column) < std::tie(row, column);
      };
      while (next < state.cells.size() && before(state.cells[next])) ++next;
      if (next < state.cells.size() && state.cells[next].row == row &&
          state.cells[next].column == column) {
        state.cells[next].shown = std::move(text);
      } else {
        shown_only.push_back({row, column, false, {}, std::move(text)});
      }
    });
    if (!shown_only.empty()) {
      state.cells.insert(state.cells.end(), shown_only.begin(), shown_only.end());
      std::sort(state.cells.begin(), state.cells.end(), [](const CellState& a, const CellState& b) {
        return std::tie(a.row, a.column) < std::tie(b.row, b.column);
      });
    }
    states.push_back(std::move(state));
  }
  return states;
}

void UnoWorkbook::CheckReadBack(const std::string& stored, const std::string& scratch) {
  const std::vector<SheetState> saved_from = ReadState(component_, scratch, "the workbook");
  rtl::Reference<AbortingInteractionHandler> handler(new AbortingInteractionHandler);
  const auto args = Properties({
      Property("Hidden", uno::Any(true)),
      Property("ReadOnly", uno::Any(true)),
      Property("AsTemplate", uno::Any(false)),
      Property("FilterName", uno::Any(Utf16(filter_))),
      Property("MacroExecutionMode", uno::Any(document::MacroExecMode::NEVER_EXECUTE)),
      Property("UpdateDocMode", uno::Any(document::UpdateDocMode::NO_UPDATE)),
      Property("InteractionHandler",
               uno::Any(uno::Reference<task::XInteractionHandler>(handler.get()))),
  });
  struct Copy {
    UnoWorkbook& book;
    uno::Reference<lang::XComponent> component;
    ~Copy() {
      if (!component.is()) return;
      try {
        book.Guarded("closing the saved copy", [&] {
          uno::Reference<util::XCloseable> closeable(component, uno::UNO_QUERY);
          if (closeable.is())
            closeable->close(true);
          else
            component->dispose();
        });
      } catch (...) {
      }
    }
  } copy{*this, {}};
  copy.component = Guarded(
      "reading back the saved copy",
      [&] {
        return Office::Shared().Desktop()->loadComponentFromURL(Utf16(FileUrl(stored)), "_blank", 0,
                                                                args);
      },
      true);
  if (!copy.component.is()) {
    throw WorkbookError(path_,
                        "LibreOffice could not read back the copy it saved, so it was not put in "
                        "place; the file was left unchanged");
  }
  const std::vector<SheetState> read_back = ReadState(copy.component, scratch, "the saved copy");
  const ReadBackChanges changes = CompareReadBack(saved_from, read_back);
  if (changes.count != 0) throw WorkbookError(path_, DescribeReadBackChanges(changes));
}

std::string UnoWorkbook::StoreChecked(const std::string& folder) {
  for (auto& sheet : sheets_) sheet->Flush();
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  fs::create_directories(folder);
  const std::string stored = folder + "/" + fs::path(target_).filename().string();
  Guarded(
      "saving",
      [&] {
        uno::Reference<frame::XStorable>(component_, uno::UNO_QUERY_THROW)
            ->storeToURL(Utf16(FileUrl(stored)),
                         Properties({Property("FilterName", uno::Any(Utf16(filter_))),
                                     Property("Overwrite", uno::Any(true))}));
      },
      true);
  workbook::RunFileStepHook(workbook::FileStep::kStored, stored);
  // A hidden document is saved without its view settings (active sheet, frozen panes, zoom):
  // an OpenDocument file gets its own back, or it is not saved at all.
  if (!odf_settings_.empty() && !RestoreOdfSettings(stored, odf_settings_)) {
    throw WorkbookError(path_,
                        "its view settings (active sheet, frozen panes, zoom) could not be put "
                        "back into the saved file; it was left unchanged");
  }
  // The original is replaced only by a copy that gives back every cell as the workbook has it:
  // LibreOffice may write a formula or a format it cannot read back the same.
  try {
    if (settings_.read_back_saves) CheckReadBack(stored, folder);
  } catch (const WorkbookError& error) {
    const std::string& reason = error.reason();
    if (reason.find("left unchanged") != std::string::npos ||
        reason.find("left as it was") != std::string::npos) {
      throw;
    }
    throw WorkbookError(path_, reason + "; the file was left unchanged");
  }
  return stored;
}

// The instance's private folder for one save, removed with the object: nothing else can touch
// what is stored there.
struct SaveFolder {
  explicit SaveFolder(const void* book) {
    const std::string scratch = Office::Shared().ScratchFolder();
    if (!scratch.empty()) {
      path = scratch + "/save-" + std::to_string(reinterpret_cast<std::uintptr_t>(book));
    }
  }
  ~SaveFolder() {
    std::error_code ignored;
    if (!path.empty()) fs::remove_all(path, ignored);
  }
  std::string path;  // "" when no instance runs
};

void UnoWorkbook::CheckSave() {
  SaveFolder folder(this);
  if (folder.path.empty()) {
    throw WorkbookError(path_, "the LibreOffice instance that had it open has ended");
  }
  StoreChecked(folder.path);
}

void UnoWorkbook::Save() {
  if (const std::string refusal = SaveRefusal(); !refusal.empty()) {
    throw WorkbookError(path_, refusal);
  }
  // Stored and checked first in the instance's private folder; the original is replaced only
  // once the new file is complete, through the same step as every save.
  SaveFolder folder(this);
  if (folder.path.empty()) {
    throw WorkbookError(path_, "the LibreOffice instance that had it open has ended");
  }
  const std::string stored = StoreChecked(folder.path);

  const int in = ::open(stored.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) {
    throw WorkbookError(path_, "cannot save: LibreOffice's file cannot be read: " +
                                   std::string(std::strerror(errno)) +
                                   "; the file was left as it was");
  }
  struct Descriptor {
    int fd;
    ~Descriptor() { ::close(fd); }
  } source{in};
  workbook::FileReplacement replacement(target_, opened_, path_);
  if (const int error = workbook::CopyFileContent(in, replacement.fd()); error != 0) {
    throw WorkbookError(
        path_, "cannot save: writing the new file failed: " + std::string(std::strerror(error)) +
                   "; the file was left as it was");
  }
  // The new file is complete and the original untouched: whatever must hold before the original
  // is replaced is checked here.
  replacement.Commit();
}

void UnoWorkbook::Close() {
  if (closed_) return;
  if (open_) open_->erase(this);
  const bool alive = Office::Shared().Generation() == generation_ && Office::Shared().Pid() != 0;
  if (alive) {
    try {
      Guarded("closing", [&] {
        uno::Reference<util::XCloseable> closeable(component_, uno::UNO_QUERY);
        if (closeable.is())
          closeable->close(true);
        else
          component_->dispose();
      });
    } catch (...) {
      closed_ = true;
      component_.clear();
      throw;
    }
  }
  closed_ = true;
  component_.clear();
}

// ---- application ----

class UnoApplication : public workbook::Application {
 public:
  explicit UnoApplication(const OfficeSettings& settings)
      : settings_(settings), open_(std::make_shared<std::set<UnoWorkbook*>>()) {
    Office::Shared().Hold();
  }
  ~UnoApplication() override { Quit(); }

  std::unique_ptr<workbook::Workbook> Open(const std::string& path) override;

  // Headless: nothing to show. Hiding after a failure closes the workbooks without saving.
  void SetVisible(bool visible) override {
    if (!visible) CloseAll();
  }

  void Quit() override {
    if (quit_) return;
    quit_ = true;
    CloseAll();
    Office::Shared().Release(settings_.idle_timeout);
  }

 private:
  void CloseAll() {
    const auto open = *open_;
    for (UnoWorkbook* book : open) {
      try {
        book->Close();
      } catch (...) {
      }
    }
  }

  OfficeSettings settings_;
  std::shared_ptr<std::set<UnoWorkbook*>> open_;
  bool quit_ = false;
};

std::unique_ptr<workbook::Workbook> UnoApplication::Open(const std::string& path) {
  if (quit_) throw WorkbookError(path, "the application has ended");
  if (path.empty()) throw WorkbookError(path, "no file name");
  std::error_code error;
  const std::string full = fs::absolute(path, error).lexically_normal().string();
  if (error) throw WorkbookError(path, "cannot tell where the file is: " + error.message());
  const std::vector<std::string> filters = ExpectedFilters(path);
  if (filters.empty()) {
    throw WorkbookError(path,
                        "LibreOffice is used here for .xls, .xlt, .ods, .ots and the xlsx family "
                        "only; this file is none of them");
  }
  // Checked before LibreOffice sees the file, so nothing is written to a file that must not change.
  if (const std::string why = WhyNotWritable(full); !why.empty()) throw WorkbookError(path, why);
  // The file a save replaces (through a link, the file it points to), as it is now: the save
  // checks that it is still this file.
  const std::string target = fs::canonical(full, error).string();
  if (error) throw WorkbookError(path, "cannot tell where the file is: " + error.message());
  workbook::FileIdentity opened;
  {
    const int fd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
      throw WorkbookError(path, "cannot open the file: " + std::string(std::strerror(errno)));
    }
    const std::optional<workbook::FileIdentity> identity = workbook::IdentifyOpenFile(fd);
    ::close(fd);
    if (!identity || !S_ISREG(identity->mode))
      throw WorkbookError(path, "it is not a regular file");
    opened = *identity;
  }
  // LibreOffice would open it as a new, empty workbook and save that over it.
  if (opened.size == 0) throw WorkbookError(path, "the file is empty (0 bytes); nothing to open");

  SourceWorkbook source;
  if (filters.front() == "MS Excel 97") {
    std::ifstream in(full, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    source = ReadBiffSheets(bytes.str());
  } else if (filters.front().rfind("Calc MS Excel 2007", 0) == 0) {
    source = ReadOoxmlSheets(full);
  }
  std::string odf_settings;
  if (filters.front().rfind("calc8", 0) == 0) odf_settings = ReadOdfSettings(full);

  Office& office = Office::Shared();
  office.EnsureRunning(path);
  rtl::Reference<AbortingInteractionHandler> handler(new AbortingInteractionHandler);
  const auto args = Properties({
      Property("Hidden", uno::Any(true)),
      Property("ReadOnly", uno::Any(false)),
      // A template is opened itself, not as a new untitled workbook made from it.
      Property("AsTemplate", uno::Any(false)),
      Property("MacroExecutionMode", uno::Any(document::MacroExecMode::NEVER_EXECUTE)),
      Property("UpdateDocMode", uno::Any(document::UpdateDocMode::NO_UPDATE)),
      Property("InteractionHandler",
               uno::Any(uno::Reference<task::XInteractionHandler>(handler.get()))),
  });
  const auto password_failure = [&] {
    return WorkbookError(path,
                         "the workbook is protected by a password; remove the password and "
                         "try again (it was left unchanged)");
  };
  uno::Reference<lang::XComponent> component;
  try {
    component = office.Guarded(path, "opening the workbook", settings_.open_timeout, [&] {
      return office.Desktop()->loadComponentFromURL(Utf16(FileUrl(full)), "_blank", 0, args);
    });
  } catch (const WorkbookError&) {
    if (handler->PasswordAsked()) throw password_failure();
    throw;
  }
  if (!component.is()) {
    if (handler->PasswordAsked()) throw password_failure();
    // Text import asks for its options: the file is not the workbook its name says.
    if (handler->OtherRequest() == "com.sun.star.document.FilterOptionsRequest") {
      throw WorkbookError(path,
                          "LibreOffice could read it only as text, not as a workbook of the "
                          "type its name says; it may be damaged or misnamed, and it was left "
                          "unchanged");
    }
    throw WorkbookError(path, "LibreOffice could not open it" +
                                  std::string(handler->OtherRequest().empty()
                                                  ? ""
                                                  : " (it asked " + handler->OtherRequest() + ")"));
  }
  auto book = std::make_unique<UnoWorkbook>(path, target, opened, component, settings_,
                                            std::move(source), std::move(odf_settings));
  // From here a failure closes the document again without saving (the destructor).
  const std::string filter = book->Guarded("checking the file type", [&] {
    if (!uno::Reference<sheet::XSpreadsheetDocument>(component, uno::UNO_QUERY).is())
      return std::string();
    uno::Reference<frame::XModel> model(component, uno::UNO_QUERY_THROW);
    for (const auto& arg : model->getArgs()) {
      if (arg.Name == "FilterName") return Utf8(arg.Value.get<rtl::OUString>());
    }
    return std::string();
  });
  if (std::find(filters.begin(), filters.end(), filter) == filters.end()) {
    throw WorkbookError(path,
                        "LibreOffice read it as " +
                            (filter.empty() ? "something else" : "\"" + filter + "\"") +
                            ", not as a workbook of the type its name says; it may be damaged "
                            "or misnamed, and it was left unchanged");
  }
  book->KeepFilter(filter);
  const bool read_only = book->Guarded("checking the file type", [&] {
    return uno::Reference<frame::XStorable>(component, uno::UNO_QUERY_THROW)->isReadonly();
  });
  if (read_only)
    throw WorkbookError(path, "LibreOffice opened it read-only; it was left unchanged");
  book->RestoreActiveSheet();
  // No undo history: it would hold a copy of every converted cell.
  try {
    book->Guarded("opening the workbook", [&] {
      uno::Reference<document::XUndoManagerSupplier> undo(component, uno::UNO_QUERY);
      if (undo.is()) undo->getUndoManager()->lock();
    });
  } catch (const WorkbookError&) {
  }
  book->Attach(open_);
  open_->insert(book.get());
  return book;
}

class UnoPlugin : public Plugin {
 public:
  std::unique_ptr<workbook::Application> MakeApplication(const OfficeSettings& settings) override {
    return std::make_unique<UnoApplication>(settings);
  }
  int InstancePid() override { return Office::Shared().Pid(); }
  void EndInstance() override { Office::Shared().End(); }
  void EndAtSignal() override {
    workbook::RemoveLeftovers();
    Office::EndAtSignal();
  }
  void SetFileStepHook(workbook::FileStepHook hook) override {
    workbook::SetFileStepHook(std::move(hook));
  }
};

}  // namespace
}  // namespace quillory::libreoffice

extern "C" __attribute__((visibility("default"))) quillory::libreoffice::Plugin*
QuilloryLibreOfficePlugin() {
  static quillory::libreoffice::UnoPlugin plugin;
  return &plugin;
}
