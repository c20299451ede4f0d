#pragma once

// An in-memory spreadsheet application and scripted prompts, for tests of anything that drives
// the workbook interface. Files live in a FakeOffice; an opened workbook works on a copy that only
// Save() writes back, so "the file on disk is untouched" can be checked directly.

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "workbook/prompts.h"
#include "workbook/spreadsheet.h"

namespace quillory::workbook::testing {

struct FakeCell {
  std::string text;      // as displayed
  std::string formula;   // "" for a constant
  bool refused = false;  // part of an array formula or data table: writes are refused

  bool operator==(const FakeCell&) const = default;
};

using CellKey = std::pair<std::int32_t, std::int32_t>;  // row, column

struct FakeSheet {
  std::string name;
  std::map<CellKey, FakeCell> cells;
  bool chart = false;    // not a worksheet
  bool protect = false;  // every write fails
  bool hidden = false;
  bool operator==(const FakeSheet&) const = default;
};

struct FakeFile {
  std::vector<FakeSheet> sheets;
  std::size_t active = 0;  // index into sheets
  bool open_fails = false;
  bool save_fails = false;
  std::string save_refusal{};  // why it can never be saved, "" when it can
  bool operator==(const FakeFile&) const = default;
};

class FakeOffice;

class FakeWorksheet final : public Worksheet {
 public:
  FakeWorksheet(FakeSheet& data, std::vector<std::string>& log) : data_(data), log_(log) {}

  std::string Name() const override { return data_.name; }
  bool Hidden() const override { return data_.hidden; }
  std::int32_t LastRow() const override {
    std::int32_t last = 1;
    for (const auto& [key, cell] : data_.cells) last = std::max(last, key.first);
    return last;
  }
  std::int32_t LastColumn() const override {
    std::int32_t last = 1;
    for (const auto& [key, cell] : data_.cells) last = std::max(last, key.second);
    return last;
  }
  std::string Text(std::int32_t row, std::int32_t column) const override {
    const auto found = data_.cells.find({row, column});
    return found == data_.cells.end() ? std::string() : found->second.text;
  }
  std::vector<CellText> NonEmptyCells(std::int32_t first_row, std::int32_t first_column,
                                      std::int32_t last_row,
                                      std::int32_t last_column) const override {
    std::vector<CellText> cells;
    for (const auto& [key, cell] : data_.cells) {
      if (key.first < first_row || key.first > last_row || key.second < first_column ||
          key.second > last_column || cell.text.empty()) {
        continue;
      }
      cells.push_back({key.first, key.second, cell.text});
    }
    return cells;
  }
  void WriteString(std::int32_t row, std::int32_t column, std::string_view value) override {
    if (data_.protect) throw WorkbookError("", "the sheet " + data_.name + " is protected");
    FakeCell& cell = data_.cells[{row, column}];
    if (cell.refused) throw CellWriteRefused("", "part of an array formula");
    cell.text = std::string(value);
    cell.formula.clear();
    log_.push_back("write " + data_.name + " " + std::to_string(row) + "," +
                   std::to_string(column));
  }

 private:
  FakeSheet& data_;
  std::vector<std::string>& log_;
};

class FakeWorkbook final : public Workbook {
 public:
  FakeWorkbook(std::string path, FakeFile copy, FakeOffice& office);

  const std::string& Path() const override { return path_; }
  std::vector<Worksheet*> Worksheets() override {
    std::vector<Worksheet*> sheets;
    for (std::size_t i = 0; i < data_.sheets.size(); ++i) {
      if (!data_.sheets[i].chart) sheets.push_back(views_[i].get());
    }
    return sheets;
  }
  Worksheet& ActiveSheet() override {
    if (data_.sheets[data_.active].chart) {
      throw WorkbookError(
          path_, "the active sheet " + data_.sheets[data_.active].name + " is not a worksheet");
    }
    return *views_[data_.active];
  }
  Worksheet* Sheet(std::string_view name) {
    for (std::size_t i = 0; i < data_.sheets.size(); ++i) {
      if (data_.sheets[i].name == name) return views_[i].get();
    }
    return nullptr;
  }
  std::string SaveRefusal() override { return data_.save_refusal; }
  void Save() override;
  void Close() override;

  FakeFile& data() { return data_; }

 private:
  std::string path_;
  FakeFile data_;
  FakeOffice& office_;
  std::vector<std::unique_ptr<FakeWorksheet>> views_;
};

// The files and the log of everything done to them.
class FakeOffice {
 public:
  std::map<std::string, FakeFile> files;
  std::vector<std::string> log;  // "open P", "save P", "close P", "visible 1", "quit"

  ApplicationFactory Factory();
  int Count(std::string_view entry) const {
    return static_cast<int>(std::count(log.begin(), log.end(), entry));
  }
};

inline FakeWorkbook::FakeWorkbook(std::string path, FakeFile copy, FakeOffice& office)
    : path_(std::move(path)), data_(std::move(copy)), office_(office) {
  for (FakeSheet& sheet : data_.sheets) {
    views_.push_back(std::make_unique<FakeWorksheet>(sheet, office_.log));
  }
}

inline void FakeWorkbook::Save() {
  if (data_.save_fails) throw WorkbookError(path_, "the disk is full");
  office_.files[path_] = data_;
  office_.log.push_back("save " + path_);
}

inline void FakeWorkbook::Close() {
  office_.log.push_back("close " + path_);
}

class FakeApplication final : public Application {
 public:
  explicit FakeApplication(FakeOffice& office) : office_(office) {}
  std::unique_ptr<Workbook> Open(const std::string& path) override {
    office_.log.push_back("open " + path);
    const auto found = office_.files.find(path);
    if (found == office_.files.end()) throw WorkbookError(path, "the file does not exist");
    if (found->second.open_fails) throw WorkbookError(path, "the file is not a workbook");
    return std::make_unique<FakeWorkbook>(path, found->second, office_);
  }
  void SetVisible(bool visible) override {
    office_.log.push_back(visible ? "visible 1" : "visible 0");
  }
  void Quit() override { office_.log.push_back("quit"); }

 private:
  FakeOffice& office_;
};

inline ApplicationFactory FakeOffice::Factory() {
  return [this](const std::string&) { return std::make_unique<FakeApplication>(*this); };
}

// A sheet from rows of cells: "" is an empty cell, "=..." a formula displaying what follows
// the "=", "!..." a cell of an array formula displaying what follows the "!".
inline FakeSheet MakeSheet(std::string name, const std::vector<std::vector<std::string>>& rows,
                           std::int32_t first_row = 1, std::int32_t first_column = 1) {
  FakeSheet sheet{std::move(name), {}, false, false};
  for (std::size_t r = 0; r < rows.size(); ++r) {
    for (std::size_t c = 0; c < rows[r].size(); ++c) {
      const std::string& text = rows[r][c];
      if (text.empty()) continue;
      FakeCell cell;
      if (text[0] == '=') {
        cell.text = text.substr(1);
        cell.formula = text;
      } else if (text[0] == '!') {
        cell.text = text.substr(1);
        cell.formula = "{" + text.substr(1) + "}";
        cell.refused = true;
      } else {
        cell.text = text;
      }
      sheet.cells[{first_row + static_cast<std::int32_t>(r),
                   first_column + static_cast<std::int32_t>(c)}] = cell;
    }
  }
  return sheet;
}

// Prompts answering from scripts and recording what was shown.
class ScriptedPrompts final : public Prompts {
 public:
  struct Shown {
    std::string text;
    std::string details;
  };

  std::deque<bool> yes_no;                              // answers; No when none are left
  std::deque<std::optional<std::string>> text_answers;  // answers; cancelled when none are left
  std::function<std::optional<Block>(Workbook&)> pick_block;

  std::vector<Shown> messages;
  std::vector<std::string> questions;
  std::vector<std::pair<std::string, std::string>> text_questions;  // prompt, initial
  std::vector<bool> busy_changes;
  int blocks_asked = 0;
  int progress_calls = 0;
  std::int64_t last_cells = 0;
  std::int64_t last_cells_total = 0;
  std::function<void(const RunProgress&)> on_progress;

  void Message(std::string_view text, std::string_view details) override {
    messages.push_back({std::string(text), std::string(details)});
  }
  bool AskYesNo(std::string_view text) override {
    questions.emplace_back(text);
    if (yes_no.empty()) return false;
    const bool answer = yes_no.front();
    yes_no.pop_front();
    return answer;
  }
  std::optional<std::string> AskText(std::string_view prompt, std::string_view initial) override {
    text_questions.emplace_back(std::string(prompt), std::string(initial));
    if (text_answers.empty()) throw std::runtime_error("the script has no more answers");
    auto answer = text_answers.front();
    text_answers.pop_front();
    return answer;
  }
  std::optional<Block> PickBlock(Workbook& workbook) override {
    ++blocks_asked;
    return pick_block ? pick_block(workbook) : std::nullopt;
  }
  void SetBusy(bool busy) override { busy_changes.push_back(busy); }
  void Progress(const RunProgress& progress) override {
    ++progress_calls;
    last_cells = progress.cells;
    last_cells_total = progress.cells_total;
    if (on_progress) on_progress(progress);
  }
};

}  // namespace quillory::workbook::testing
