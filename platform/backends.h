#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "workbook/spreadsheet.h"

namespace quillory {

enum class Backend { Auto, Embedded, LibreOffice };

std::optional<Backend> ParseBackend(std::string_view name);  // "auto", "embedded", "libreoffice"

// True for the extensions the embedded engine reads and writes: xlsx, xlsm, xltx, xltm.
bool IsXlsxFamily(std::string_view path);

// Auto: the embedded engine for the xlsx family, LibreOffice for the rest.
workbook::ApplicationFactory MakeApplicationFactory(Backend backend);

// Makes SIGINT, SIGTERM and SIGHUP end the program as they would, but only once what it would
// leave behind is gone: lock files and unfinished new files beside workbooks, and the LibreOffice
// instance with its folders. Call first thing in main, before any other thread starts.
void CleanUpOnEndingSignals();

}  // namespace quillory
