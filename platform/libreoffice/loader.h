#pragma once

#include <memory>

#include "workbook/spreadsheet.h"

namespace quillory::libreoffice {

// The LibreOffice application, loaded from its plugin on first use. When the plugin or
// LibreOffice itself is missing, opening a workbook fails with a message saying what to install.
std::unique_ptr<workbook::Application> MakeLibreOfficeApplication();

}  // namespace quillory::libreoffice
