#pragma once

class QWidget;

namespace quillory {
class SettingsStore;
class WordSource;
}

namespace quillory::ui {

// The language editor ("Languages"), modal over `parent`.
void ShowLanguageEditor(QWidget* parent, SettingsStore& store);

// The default language window ("Set Default Language"), modal over `parent`.
void ShowDefaultLanguage(QWidget* parent, SettingsStore& store, WordSource& words);

}  // namespace quillory::ui
