#include "platform/backends.h"

#include <algorithm>
#include <cctype>

#include "platform/libreoffice/loader.h"
#include "platform/xlsx/xlsx_application.h"

namespace quillory {

std::optional<Backend> ParseBackend(std::string_view name) {
  if (name == "auto") return Backend::Auto;
  if (name == "embedded") return Backend::Embedded;
  if (name == "libreoffice") return Backend::LibreOffice;
  return std::nullopt;
}

bool IsXlsxFamily(std::string_view path) {
  const auto slash = path.find_last_of('/');
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const auto dot = name.find_last_of('.');
  if (dot == std::string_view::npos) return false;
  std::string extension(name.substr(dot + 1));
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == "xlsx" || extension == "xlsm" || extension == "xltx" || extension == "xltm";
}

workbook::ApplicationFactory MakeApplicationFactory(Backend backend) {
  return [backend](const std::string& path) -> std::unique_ptr<workbook::Application> {
    if (backend == Backend::Embedded || (backend == Backend::Auto && IsXlsxFamily(path))) {
      return xlsx::MakeEmbeddedApplication();
    }
    return libreoffice::MakeLibreOfficeApplication();
  };
}

}  // namespace quillory
