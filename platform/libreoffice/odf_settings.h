#pragma once

#include <string>

namespace quillory::libreoffice {

// The settings part (settings.xml) of an OpenDocument package: view settings such as the active
// sheet, frozen panes and zoom. "" when the file has none or is not such a package.
std::string ReadOdfSettings(const std::string& path);

// Puts `settings` back as the package's settings part; false when that cannot be done (the file
// is then as it was).
bool RestoreOdfSettings(const std::string& path, const std::string& settings);

}  // namespace quillory::libreoffice
