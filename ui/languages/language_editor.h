#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <string>

#include "engine/words.h"

class QComboBox;
class QFrame;
class QLineEdit;

namespace quillory {
class SettingsStore;
}

namespace quillory::ui {

namespace languages {
class PictureButton;
}

// Shows a message over a window (OK button, title "Quillory"); tests put their own in its place.
using ShowMessage = std::function<void(QWidget* over, const QString& text)>;
// A plain message box.
void ShowMessageBox(QWidget* over, const QString& text);

// The language editor ("Languages"): adds, fills in and deletes stored languages. Keeps nothing
// of its own; every change goes to the store at once.
class LanguageEditor : public QDialog {
  Q_OBJECT

 public:
  // `message` defaults to a plain message box.
  explicit LanguageEditor(SettingsStore& store, ShowMessage message = {},
                          QWidget* parent = nullptr);

  // The word boxes in the order they are shown, column by column; Text2 first.
  static constexpr std::size_t kBoxCount = kStemCount;
  static const std::array<Stem, kBoxCount>& BoxStems();

 private:
  void BuildWindow();
  void FillLanguageList();
  void ShowLanguageWords();
  void SaveWord(std::size_t box);
  void AddLanguagePressed();
  void DeleteLanguagePressed();
  // Combo1's text: the selected name, "" when nothing is selected.
  std::string SelectedName() const;

  SettingsStore& store_;
  ShowMessage message_;
  QLineEdit* text1_ = nullptr;
  languages::PictureButton* check1_ = nullptr;
  QComboBox* combo1_ = nullptr;
  languages::PictureButton* check2_ = nullptr;
  QFrame* frame1_ = nullptr;
  std::array<QLineEdit*, kBoxCount> boxes_{};
};

}  // namespace quillory::ui
