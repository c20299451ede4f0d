#include "cli/tsv.h"

#include "workbook/text_escape.h"

namespace quillory::cli {

std::string EscapeField(std::string_view text) {
  return workbook::EscapeText(text);
}

}  // namespace quillory::cli
