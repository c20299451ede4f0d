#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "workbook/prompts.h"

namespace quillory::testing {

// Prompts for runs nobody watches: every question is answered yes, the letters question with 1,
// and the block is what `pick_block` gives (none: the workbook is skipped). Messages are kept.
class AnsweringPrompts final : public workbook::Prompts {
 public:
  std::function<std::optional<workbook::Block>(workbook::Workbook&)> pick_block;
  std::vector<std::string> messages;

  void Message(std::string_view text, std::string_view) override { messages.emplace_back(text); }
  bool AskYesNo(std::string_view) override { return true; }
  std::optional<std::string> AskText(std::string_view, std::string_view) override { return "1"; }
  std::optional<workbook::Block> PickBlock(workbook::Workbook& book) override {
    return pick_block ? pick_block(book) : std::nullopt;
  }
  void SetBusy(bool) override {}
  void Progress(const workbook::RunProgress&) override {}
};

}  // namespace quillory::testing
