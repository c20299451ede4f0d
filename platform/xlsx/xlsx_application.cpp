#include "platform/xlsx/xlsx_application.h"

#include <algorithm>
#include <map>
#include <optional>

#include "engine/ascii.h"
#include "platform/xlsx/cell_ref.h"
#include "platform/xlsx/content_types.h"
#include "platform/xlsx/deflate.h"
#include "platform/xlsx/package.h"
#include "platform/xlsx/pivot_tables.h"
#include "platform/xlsx/relationships.h"
#include "platform/xlsx/shared_strings.h"
#include "platform/xlsx/styles.h"
#include "platform/xlsx/workbook_part.h"
#include "platform/xlsx/worksheet_part.h"

namespace quillory::xlsx {
namespace {

using workbook::WorkbookError;

class XlsxWorkbook;

// A worksheet part as read, shared by every sheet that names it.
struct SheetPart {
  std::string part;
  std::unique_ptr<WorksheetPart> data;  // nothing until read, and again after a save
  // True while the package holds the part's text as it now is, to be saved.
  bool staged = false;
};

class XlsxWorksheet : public workbook::Worksheet {
 public:
  XlsxWorksheet(XlsxWorkbook& book, std::string name, std::string part)
      : book_(book), name_(std::move(name)), part_(std::move(part)) {}

  std::string Name() const override { return name_; }
  bool Hidden() const override { return hidden_; }
  void SetHidden(bool hidden) { hidden_ = hidden; }
  std::int32_t LastRow() const override { return std::max(data().LastRow(), 1); }
  std::int32_t LastColumn() const override { return std::max(data().LastColumn(), 1); }
  std::string Text(std::int32_t row, std::int32_t column) const override;
  std::vector<workbook::CellText> NonEmptyCells(std::int32_t first_row, std::int32_t first_column,
                                                std::int32_t last_row,
                                                std::int32_t last_column) const override;
  void WriteString(std::int32_t row, std::int32_t column, std::string_view value) override;

  WorksheetPart& data() const;
  // After a save the parts are read again from the file, when next needed.
  void Unload() { entry_ = nullptr; }

 private:
  const std::vector<PivotTableCells>& PivotTables();

  XlsxWorkbook& book_;
  std::string name_;
  std::string part_;
  mutable SheetPart* entry_ = nullptr;  // the workbook's, found once: a write asks per cell
  std::optional<std::vector<PivotTableCells>> pivot_tables_;  // read on the first write
  bool hidden_ = false;
};

class XlsxWorkbook : public workbook::Workbook {
 public:
  XlsxWorkbook(std::unique_ptr<Package> package, std::string path)
      : package_(std::move(package)), path_(std::move(path)) {
    Load();
  }

  const std::string& Path() const override { return path_; }
  std::vector<workbook::Worksheet*> Worksheets() override {
    CheckOpen();
    std::vector<workbook::Worksheet*> sheets;
    for (auto& sheet : worksheets_) sheets.push_back(sheet.get());
    return sheets;
  }
  workbook::Worksheet& ActiveSheet() override;
  void PrepareSave() override;
  void Save() override;
  void Close() override {
    worksheets_.clear();
    sheet_parts_.clear();
    package_.reset();
  }

  const SharedStrings& strings() const { return strings_; }
  std::string ReadPart(const std::string& part) const { return package_->Read(part); }
  bool HasPart(const std::string& part) const { return package_->Has(part); }
  const ReadLimits& limits() const { return package_->limits(); }
  const Styles& styles() const { return styles_; }
  // The worksheet part `part`, read when first needed. Sheets that name the same part share
  // it: it is read once, however many name it.
  SheetPart& SheetData(const std::string& part, const std::string& sheet);
  void NoteFormulaRemoved() { formula_removed_ = true; }
  void CheckOpen() const {
    if (!package_) throw WorkbookError(path_, "the workbook has been closed");
  }

 private:
  void Load();

  std::unique_ptr<Package> package_;
  std::string path_;
  std::string workbook_part_;
  SharedStrings strings_;
  Styles styles_;
  std::vector<std::unique_ptr<XlsxWorksheet>> worksheets_;
  std::map<std::string, SheetPart> sheet_parts_;  // by lower-case part name
  // Every sheet of the workbook in order; the worksheet it is, or nothing for a chart,
  // dialog or macro sheet.
  std::vector<std::pair<std::string, XlsxWorksheet*>> tabs_;
  std::size_t active_tab_ = 0;
  bool formula_removed_ = false;
  bool calculation_staged_ = false;  // the calculation chain's removal, for the next save
};

WorksheetPart& XlsxWorksheet::data() const {
  book_.CheckOpen();
  if (!entry_ || !entry_->data) entry_ = &book_.SheetData(part_, name_);
  return *entry_->data;
}

SheetPart& XlsxWorkbook::SheetData(const std::string& part, const std::string& sheet) {
  CheckOpen();
  const std::string key = ascii::ToLower(part);
  SheetPart& entry = sheet_parts_[key];
  if (!entry.data) {
    entry.part = part;
    std::string xml = package_->Read(part);
    // The index takes 32 bytes a cell, from as little as "<c/>": held to what the budget leaves.
    const std::uint64_t most = package_->MemoryLeft() / sizeof(WorksheetPart::Cell);
    try {
      entry.data = std::make_unique<WorksheetPart>(
          std::move(xml), path_, part, sheet, WorksheetPart::kParallelScanBytes,
          static_cast<std::size_t>(std::min<std::uint64_t>(most, SIZE_MAX)));
    } catch (const WorksheetPart::TooManyCells& too_many) {
      RefuseTooLarge(path_, "its sheet \"" + sheet + "\" unpacks to more than " +
                                CountText(too_many.most) + " cells from " +
                                SizeText(package_->FileSize()) + " in the file");
    }
    package_->Charge(entry.data->IndexBytes());
  }
  return entry;
}

std::string XlsxWorksheet::Text(std::int32_t row, std::int32_t column) const {
  return data().Text(row, column, book_.strings(), book_.styles());
}

std::vector<workbook::CellText> XlsxWorksheet::NonEmptyCells(std::int32_t first_row,
                                                             std::int32_t first_column,
                                                             std::int32_t last_row,
                                                             std::int32_t last_column) const {
  std::vector<workbook::CellText> cells;
  cells.reserve(data().CellCount(first_row, last_row));
  data().ForEachText(first_row, first_column, last_row, last_column, book_.strings(),
                     book_.styles(), [&](std::int32_t row, std::int32_t column, std::string text) {
                       cells.push_back({row, column, std::move(text)});
                     });
  return cells;
}

// The pivot tables the sheet's relationships name. Parts that cannot be read are passed over:
// the rest of the package is copied through as it is, and it was never needed to convert.
const std::vector<PivotTableCells>& XlsxWorksheet::PivotTables() {
  if (pivot_tables_) return *pivot_tables_;
  pivot_tables_.emplace();
  const std::string rels_part = Relationships::PathFor(part_);
  if (!book_.HasPart(rels_part)) return *pivot_tables_;
  Relationships rels;
  try {
    rels = Relationships(book_.ReadPart(rels_part), part_, book_.Path(), book_.limits());
  } catch (const WorkbookError&) {
    return *pivot_tables_;
  }
  for (const Relationship& relationship : rels.all()) {
    if (!TypeIs(relationship.type, "pivotTable") || relationship.part.empty() ||
        !book_.HasPart(relationship.part)) {
      continue;
    }
    if (auto cells = ReadPivotTableCells(book_.ReadPart(relationship.part))) {
      pivot_tables_->push_back(std::move(*cells));
    }
  }
  return *pivot_tables_;
}

void XlsxWorksheet::WriteString(std::int32_t row, std::int32_t column, std::string_view value) {
  // The application refuses to change a pivot table's cells, which its next refresh would refill.
  for (const PivotTableCells& pivot : PivotTables()) {
    if (!pivot.range.Contains(row, column)) continue;
    throw workbook::CellWriteRefused(
        book_.Path(), "cell " + name_ + "!" + CellName(row, column) +
                          " is part of the pivot table " +
                          (pivot.name.empty() ? "" : "\"" + pivot.name + "\" ") + "(" +
                          RangeName(pivot.range) + ") and cannot be replaced on its own");
  }
  // The application refuses to write into a locked cell of a protected sheet.
  if (data().protected_sheet() && book_.styles().Locked(data().StyleAt(row, column))) {
    throw WorkbookError(book_.Path(), "sheet " + name_ + " is protected; its locked cell " +
                                          CellName(row, column) +
                                          " cannot be written (remove the sheet protection first)");
  }
  WorksheetPart& sheet = data();
  entry_->staged = false;
  if (sheet.WriteString(row, column, value) == WorksheetPart::WriteResult::FormulaRemoved) {
    book_.NoteFormulaRemoved();
  }
}

void XlsxWorkbook::Load() {
  const std::string& file = path_;
  const std::string root_rels_part = Relationships::PathFor("");
  if (!package_->Has(root_rels_part)) {
    throw WorkbookError(file,
                        "not a workbook: the package has no relationships part "
                        "(/_rels/.rels); the file is damaged or of another kind");
  }
  const ReadLimits& limits = package_->limits();
  const Relationships root(package_->Read(root_rels_part), "", file, limits);
  const Relationship* office = root.OfKind("officeDocument");
  if (!office) {
    throw WorkbookError(file, "not a workbook: the package names no main document");
  }
  workbook_part_ = office->part;
  if (!package_->Has(workbook_part_)) {
    throw WorkbookError(
        file, "the workbook is incomplete: its main part /" + workbook_part_ + " is missing");
  }
  const WorkbookPart book(package_->Read(workbook_part_), file, workbook_part_, limits);
  const std::string rels_part = Relationships::PathFor(workbook_part_);
  Relationships rels;
  if (package_->Has(rels_part))
    rels = Relationships(package_->Read(rels_part), workbook_part_, file, limits);

  styles_ = Styles();
  if (const Relationship* styles = rels.OfKind("styles"); styles && package_->Has(styles->part)) {
    styles_ = Styles(package_->Read(styles->part), file, styles->part, limits);
  }
  styles_.SetDate1904(book.date1904());
  strings_ = SharedStrings();
  if (const Relationship* strings = rels.OfKind("sharedStrings");
      strings && package_->Has(strings->part)) {
    strings_ = SharedStrings(package_->Read(strings->part), file, strings->part, limits);
  }

  worksheets_.clear();
  tabs_.clear();
  sheet_parts_.clear();
  for (const auto& sheet : book.sheets()) {
    const Relationship* target = rels.ById(sheet.relationship_id);
    if (!target || !TypeIs(target->type, "worksheet")) {
      tabs_.emplace_back(sheet.name, nullptr);
      continue;
    }
    if (target->part.empty() || !package_->Has(target->part)) {
      throw WorkbookError(file, "the workbook is incomplete: the part /" + target->part +
                                    " of sheet \"" + sheet.name + "\" is missing");
    }
    SheetData(target->part, sheet.name);
    worksheets_.push_back(std::make_unique<XlsxWorksheet>(*this, sheet.name, target->part));
    worksheets_.back()->SetHidden(sheet.state != "visible");
    tabs_.emplace_back(sheet.name, worksheets_.back().get());
  }
  active_tab_ = book.active_tab();
}

workbook::Worksheet& XlsxWorkbook::ActiveSheet() {
  CheckOpen();
  if (tabs_.empty()) throw WorkbookError(path_, "the workbook has no sheets");
  const auto& [name, sheet] = tabs_[std::min(active_tab_, tabs_.size() - 1)];
  if (!sheet) {
    throw WorkbookError(path_, "the active sheet \"" + name +
                                   "\" is not a worksheet (a chart or other sheet); activate a "
                                   "worksheet and save the workbook first");
  }
  return *sheet;
}

void XlsxWorkbook::PrepareSave() {
  CheckOpen();
  for (auto& [key, entry] : sheet_parts_) {
    if (!entry.data || !entry.data->changed() || entry.staged) continue;
    // Written and compressed a piece at a time on every core; the whole text is never held.
    const WorksheetPart& data = *entry.data;
    const std::vector<std::size_t> starts = data.PieceStarts(kDeflatePieceBytes);
    Deflated deflated = DeflatePieces(
        starts.size(),
        [&](std::size_t index, std::string* text) { data.AppendPiece(starts, index, text); },
        DeflateLevel(data.SerializedSizeHint()));
    if (deflated.ok) {
      package_->ReplaceDeflated(entry.part, std::move(deflated));
    } else {
      package_->Replace(entry.part, data.Serialize());
    }
    entry.staged = true;
  }
  if (formula_removed_ && !calculation_staged_) {
    // Cached results of the remaining formulas may depend on what was overwritten: drop the
    // calculation chain and have the application recalculate on load.
    const std::string rels_part = Relationships::PathFor(workbook_part_);
    if (package_->Has(rels_part)) {
      const std::string rels_xml = package_->Read(rels_part);
      const Relationships rels(rels_xml, workbook_part_, path_, package_->limits());
      if (const Relationship* chain = rels.OfKind("calcChain")) {
        package_->Remove(chain->part);
        package_->Replace(rels_part, Relationships::Without(rels_xml, chain->id));
        const std::string types(ContentTypes::kPart);
        if (package_->Has(types)) {
          package_->Replace(types,
                            ContentTypes::WithoutOverride(package_->Read(types), chain->part));
        }
      }
    }
    package_->Replace(workbook_part_,
                      WorkbookPart::WithFullCalcOnLoad(package_->Read(workbook_part_)));
    calculation_staged_ = true;
  }
  // The new file is written and synced while the caller goes on; Save() puts it in place.
  package_->Write();
}

void XlsxWorkbook::Save() {
  CheckOpen();
  PrepareSave();
  package_->Commit();
  // The file now holds the written sheets; carry on from them.
  for (auto& sheet : worksheets_) sheet->Unload();
  for (auto& [key, entry] : sheet_parts_) {
    if (!entry.staged) continue;
    entry.data.reset();
    entry.staged = false;
  }
  formula_removed_ = false;
  calculation_staged_ = false;
}

class XlsxApplication : public workbook::Application {
 public:
  explicit XlsxApplication(const ReadLimits& limits) : limits_(limits) {}
  std::unique_ptr<workbook::Workbook> Open(const std::string& path) override {
    return std::make_unique<XlsxWorkbook>(Package::OpenFile(path, limits_), path);
  }
  void SetVisible(bool) override {}
  void Quit() override {}

 private:
  ReadLimits limits_;
};

}  // namespace

std::unique_ptr<workbook::Application> MakeEmbeddedApplication(const ReadLimits& limits) {
  return std::make_unique<XlsxApplication>(limits);
}

std::unique_ptr<workbook::Workbook> OpenWorkbookFromMemory(std::string bytes,
                                                           const std::string& name,
                                                           const ReadLimits& limits) {
  return std::make_unique<XlsxWorkbook>(Package::OpenMemory(std::move(bytes), name, limits), name);
}

}  // namespace quillory::xlsx
