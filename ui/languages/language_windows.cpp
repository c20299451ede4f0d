#include "ui/languages/language_windows.h"

namespace quillory::ui {

void ShowLanguageEditor(QWidget*, SettingsStore&) {}
void ShowDefaultLanguage(QWidget*, SettingsStore&, WordSource&) {}

}  // namespace quillory::ui
