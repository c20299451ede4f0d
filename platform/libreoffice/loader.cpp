#include "platform/libreoffice/loader.h"

namespace quillory::libreoffice {

std::unique_ptr<workbook::Application> MakeLibreOfficeApplication() { return nullptr; }

}  // namespace quillory::libreoffice
