#pragma once

#include <memory>
#include <string>

#include "workbook/spreadsheet.h"

namespace quillory::xlsx {

// The embedded spreadsheet engine: reads and writes the xlsx family in-process.
std::unique_ptr<workbook::Application> MakeEmbeddedApplication();

// Opens a workbook held in memory (tests, fuzzing); `name` stands for the file in messages.
// It reads and records writes like any other, but cannot be saved.
std::unique_ptr<workbook::Workbook> OpenWorkbookFromMemory(std::string bytes,
                                                           const std::string& name);

}  // namespace quillory::xlsx
