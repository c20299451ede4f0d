#include "platform/xlsx/xlsx_application.h"

namespace quillory::xlsx {

std::unique_ptr<workbook::Application> MakeEmbeddedApplication() { return nullptr; }

}  // namespace quillory::xlsx
