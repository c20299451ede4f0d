#pragma once

#include <memory>

#include "workbook/spreadsheet.h"

namespace quillory::xlsx {

// The embedded spreadsheet engine: reads and writes the xlsx family in-process.
std::unique_ptr<workbook::Application> MakeEmbeddedApplication();

}  // namespace quillory::xlsx
