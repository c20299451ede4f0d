#pragma once

class QWidget;

namespace quillory {
class SettingsStore;
class WordSource;
namespace qt {
class Dialogs;
}
}  // namespace quillory

namespace quillory::ui {

// The language editor ("Languages"), modal over `parent`; its boxes show through `dialogs`.
void ShowLanguageEditor(QWidget* parent, SettingsStore& store, qt::Dialogs& dialogs);

// The default language window ("Set Default Language"), modal over `parent`.
void ShowDefaultLanguage(QWidget* parent, SettingsStore& store, WordSource& words);

}  // namespace quillory::ui
