#include <algorithm>
#include <string>

#include "platform/xlsx/cell_ref.h"
#include "platform/xlsx/worksheet_markup.h"
#include "platform/xlsx/worksheet_part.h"

// Shared formulas: the groups found when the part is read, and the hand-off of a group's formula
// to its next member when the cell that holds it is overwritten.
namespace quillory::xlsx {

using worksheet::ParseUnsigned;
using worksheet::Token;
using worksheet::TokenKind;

void WorksheetPart::IndexSharedFormulas() {
  // Members in row-major order.
  for (std::size_t i = 0; i < cells_.size(); ++i) {
    const Cell& cell = cells_[i];
    if (cell.formula != FormulaKind::SharedMaster && cell.formula != FormulaKind::SharedMember) {
      continue;
    }
    xml::Scanner cell_scanner(std::string_view(xml_).substr(0, cell.end), cell.begin);
    cell_scanner.Next();  // the c start tag
    for (Token child; cell_scanner.NextChild(&child);) {
      if (xml::LocalName(child.name) == "f") {
        std::string_view si;
        std::uint32_t group = 0;
        if (xml::FindAttribute(child.attributes, "si", &si) && ParseUnsigned(si, &group)) {
          SharedGroup& shared = shared_[group];
          shared.members.push_back(static_cast<std::uint32_t>(i));
          const std::int32_t row = RowOfCell(i);
          shared.bounds.first.row = std::min(shared.bounds.first.row, row);
          shared.bounds.first.column = std::min(shared.bounds.first.column, cell.column);
          shared.bounds.last.row = std::max(shared.bounds.last.row, row);
          shared.bounds.last.column = std::max(shared.bounds.last.column, cell.column);
          if (cell.formula == FormulaKind::SharedMaster) {
            shared.master = static_cast<std::int64_t>(i);
            group_of_master_[static_cast<std::uint32_t>(i)] = group;
          }
        }
        break;
      }
      if (!cell_scanner.SkipElement(child)) break;
    }
  }
}

std::string WorksheetPart::FormulaOf(std::size_t index) const {
  if (const auto promoted = new_masters_.find(static_cast<std::uint32_t>(index));
      promoted != new_masters_.end()) {
    return promoted->second.formula;
  }
  const Cell& cell = cells_[index];
  xml::Scanner scanner(std::string_view(xml_).substr(0, cell.end), cell.begin);
  scanner.Next();
  for (Token child; scanner.NextChild(&child);) {
    if (xml::LocalName(child.name) == "f") {
      std::string formula;
      scanner.ReadSimpleContent(child, &formula);
      return formula;
    }
    if (!scanner.SkipElement(child)) return {};
  }
  return {};
}

void WorksheetPart::HandOffSharedFormula(std::size_t master) {
  // Found through an index and resumed where the last hand-off stopped: writing a filled-down
  // column cell by cell hands the formula on once per cell.
  const auto owner = group_of_master_.find(static_cast<std::uint32_t>(master));
  if (owner == group_of_master_.end()) return;
  const std::int64_t si = owner->second;
  group_of_master_.erase(owner);
  SharedGroup& group = shared_[si];
  if (group.master != static_cast<std::int64_t>(master)) return;
  group.master = -1;
  while (group.next < group.members.size() &&
         (group.members[group.next] == master ||
          cells_[group.members[group.next]].formula != FormulaKind::SharedMember)) {
    ++group.next;
  }
  if (group.next == group.members.size()) return;
  const std::uint32_t heir = group.members[group.next];
  const std::int32_t master_row = RowOfCell(master);
  const std::int32_t heir_row = RowOfCell(heir);
  // The members left lie from the heir's row on; in its last row, from the heir's column on.
  RangeRef range = group.bounds;
  range.first.row = std::max(range.first.row, heir_row);
  if (range.first.row == range.last.row) {
    range.first.column = std::max(range.first.column, cells_[heir].column);
  }
  NewMaster promoted;
  promoted.formula = ShiftFormula(FormulaOf(master), heir_row - master_row,
                                  cells_[heir].column - cells_[master].column);
  promoted.range = range;
  new_masters_[heir] = std::move(promoted);
  cells_[heir].formula = FormulaKind::SharedMaster;
  group.master = heir;
  group_of_master_[heir] = si;
}

}  // namespace quillory::xlsx
