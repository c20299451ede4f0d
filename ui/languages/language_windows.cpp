#include "ui/languages/language_windows.h"

#include "ui/languages/default_language_window.h"
#include "ui/languages/language_editor.h"

namespace quillory::ui {

void ShowLanguageEditor(QWidget* parent, SettingsStore& store, qt::Dialogs& dialogs) {
  LanguageEditor editor(store, dialogs, parent);
  editor.exec();
}

void ShowDefaultLanguage(QWidget* parent, SettingsStore& store, WordSource& words) {
  DefaultLanguageWindow window(store, words, parent);
  window.exec();
}

}  // namespace quillory::ui
