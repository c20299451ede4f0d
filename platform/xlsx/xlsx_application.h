#pragma once

#include <memory>
#include <string>

#include "platform/xlsx/read_budget.h"
#include "workbook/spreadsheet.h"

namespace quillory::xlsx {

// The embedded spreadsheet engine: reads and writes the xlsx family in-process. A workbook
// whose reading would pass `limits` is refused as too large to convert safely.
std::unique_ptr<workbook::Application> MakeEmbeddedApplication(const ReadLimits& limits = {});

// Opens a workbook held in memory (tests, fuzzing); `name` stands for the file in messages.
// It reads and records writes like any other, but cannot be saved.
std::unique_ptr<workbook::Workbook> OpenWorkbookFromMemory(std::string bytes,
                                                           const std::string& name,
                                                           const ReadLimits& limits = {});

}  // namespace quillory::xlsx
