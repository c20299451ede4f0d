#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "workbook/spreadsheet.h"

namespace quillory::workbook {

inline constexpr std::string_view kMessageTitle = "Quillory";

struct RunReport;

// Where a run stands: workbook `index` (1-based) of `count`, and of the cells in its range (its
// sheets' used ranges, or the block) `cells` of `cells_total` passed.
struct RunProgress {
  int index = 0;
  int count = 0;
  std::string_view path;
  std::int64_t cells = 0;
  std::int64_t cells_total = 0;  // 0 until the range is known
};

// Everything a conversion run asks of the person in front of it. The window program, the command
// line and the tests each supply their own. Every box is titled "Quillory".
class Prompts {
 public:
  virtual ~Prompts() = default;

  // A message with an OK button; `details` holds further lines (the collected cell messages).
  virtual void Message(std::string_view text, std::string_view details = {}) = 0;

  // A question with Yes and No; true for Yes.
  virtual bool AskYesNo(std::string_view text) = 0;

  // A question answered with a line of text; nothing when cancelled.
  virtual std::optional<std::string> AskText(std::string_view prompt, std::string_view initial) = 0;

  // Lets the user pick a block of cells of the open workbook; nothing when cancelled.
  virtual std::optional<Block> PickBlock(Workbook& workbook) = 0;

  virtual void SetBusy(bool busy) = 0;

  virtual void Progress(const RunProgress& progress) = 0;

  // The end of a run; `details` lists the cells left as they were, a line each. By default the
  // report's summary ("Done.") and the details are a message.
  virtual void Report(const RunReport& report, std::string_view details);
};

// Shows the busy pointer for as long as it lives.
class BusyGuard {
 public:
  explicit BusyGuard(Prompts& prompts) : prompts_(prompts) { prompts_.SetBusy(true); }
  ~BusyGuard() { prompts_.SetBusy(false); }
  BusyGuard(const BusyGuard&) = delete;
  BusyGuard& operator=(const BusyGuard&) = delete;

 private:
  Prompts& prompts_;
};

}  // namespace quillory::workbook
