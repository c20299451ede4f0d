#pragma once

#include <functional>

class QString;
class QWidget;

namespace quillory {
class SettingsStore;
class WordSource;
}  // namespace quillory

namespace quillory::ui {

// The language editor ("Languages"), modal over `parent`.
void ShowLanguageEditor(QWidget* parent, SettingsStore& store);
// The same, its one message ("You forgot to input language") shown by `message` over the
// editor, so that the program's own message boxes (and their test scripts) show it.
void ShowLanguageEditor(QWidget* parent, SettingsStore& store,
                        const std::function<void(QWidget* over, const QString& text)>& message);

// The default language window ("Set Default Language"), modal over `parent`.
void ShowDefaultLanguage(QWidget* parent, SettingsStore& store, WordSource& words);

}  // namespace quillory::ui
