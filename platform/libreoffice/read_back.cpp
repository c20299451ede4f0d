#include "platform/libreoffice/read_back.h"

#include <algorithm>
#include <tuple>

#include "workbook/text_escape.h"

namespace quillory::libreoffice {
namespace {

// A text as a change shows it: on one line, long ones cut.
std::string Quoted(const std::string& text) {
  constexpr std::size_t kLongest = 60;
  if (text.empty()) return "(empty)";
  std::string shown = workbook::EscapeText(text);
  if (shown.size() > kLongest) {
    std::size_t cut = kLongest;
    while (cut > 0 && (static_cast<unsigned char>(shown[cut]) & 0xC0) == 0x80) --cut;
    shown = shown.substr(0, cut) + "...";
  }
  return shown;
}

class Changes {
 public:
  explicit Changes(std::size_t most) : most_(most) {}
  void Add(const std::string& where, const std::string& before, const std::string& after) {
    if (changes_.first.size() < most_) {
      changes_.first.push_back(where + ": " + Quoted(before) + " -> " + Quoted(after));
    }
    ++changes_.count;
  }
  ReadBackChanges Take() { return std::move(changes_); }

 private:
  std::size_t most_;
  ReadBackChanges changes_;
};

std::string Names(const std::vector<SheetState>& sheets) {
  std::string names;
  for (const SheetState& sheet : sheets) names += (names.empty() ? "" : ", ") + sheet.name;
  return names;
}

void CompareSheet(const SheetState& before_sheet, const SheetState& after_sheet, Changes& changes) {
  static const CellState kEmpty;
  const std::vector<CellState>& before = before_sheet.cells;
  const std::vector<CellState>& after = after_sheet.cells;
  const auto in_pivot_table = [&](const CellState& cell) {
    for (const auto* sheet : {&before_sheet, &after_sheet}) {
      for (const CellArea& area : sheet->pivot_tables) {
        if (area.Contains(cell.row, cell.column)) return true;
      }
    }
    return false;
  };
  const auto key = [](const CellState& cell) { return std::tie(cell.row, cell.column); };
  auto b = before.begin();
  auto a = after.begin();
  while (b != before.end() || a != after.end()) {
    const CellState* old_cell = &kEmpty;
    const CellState* new_cell = &kEmpty;
    if (a == after.end() || (b != before.end() && key(*b) < key(*a))) {
      old_cell = &*b++;
    } else if (b == before.end() || key(*a) < key(*b)) {
      new_cell = &*a++;
    } else {
      old_cell = &*b++;
      new_cell = &*a++;
    }
    const CellState& at = old_cell == &kEmpty ? *new_cell : *old_cell;
    if (in_pivot_table(at)) continue;
    const std::string where = before_sheet.name + "!" + CellName(at.row, at.column);
    if (old_cell->formula != new_cell->formula || old_cell->content != new_cell->content) {
      changes.Add(where, old_cell->content, new_cell->content);
    } else if (!old_cell->formula && old_cell->shown != new_cell->shown) {
      changes.Add(where, old_cell->shown, new_cell->shown);
    }
  }
}

}  // namespace

ReadBackChanges CompareReadBack(const std::vector<SheetState>& saved_from,
                                const std::vector<SheetState>& read_back, std::size_t most) {
  Changes changes(most);
  const bool same_sheets =
      std::equal(saved_from.begin(), saved_from.end(), read_back.begin(), read_back.end(),
                 [](const SheetState& a, const SheetState& b) { return a.name == b.name; });
  if (!same_sheets) changes.Add("sheets", Names(saved_from), Names(read_back));
  for (const SheetState& sheet : saved_from) {
    const auto match = std::find_if(read_back.begin(), read_back.end(),
                                    [&](const SheetState& s) { return s.name == sheet.name; });
    if (match != read_back.end()) CompareSheet(sheet, *match, changes);
  }
  return changes.Take();
}

std::string DescribeReadBackChanges(const ReadBackChanges& changes) {
  std::string list;
  for (const std::string& change : changes.first) list += (list.empty() ? "" : "; ") + change;
  if (changes.count > changes.first.size()) {
    list += "; and " + std::to_string(changes.count - changes.first.size()) + " more";
  }
  return "LibreOffice's saved copy does not read back as the converted workbook (" + list +
         "), so it was not put in place; the file was left unchanged";
}

}  // namespace quillory::libreoffice
