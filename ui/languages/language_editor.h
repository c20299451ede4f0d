#pragma once

#include <QDialog>
#include <array>
#include <string>

#include "engine/words.h"

class QComboBox;
class QFrame;
class QLineEdit;
class QScrollArea;

namespace quillory {
class SettingsStore;
namespace qt {
class Dialogs;
}
}  // namespace quillory

namespace quillory::ui {

class PictureButton;

inline const QString kDeleteLanguageQuestion = QStringLiteral(
    "Delete the language \"%1\"?\n\nIts words stay stored: adding the same name again brings "
    "them back.");
inline const QString kBuiltInNameMessage = QStringLiteral(
    "\"%1\" names the built-in language %2, whose words come with Quillory and cannot be "
    "edited. Choose it under \"Set Default Language\", or give a language of your own another "
    "name.");

// The language editor ("Languages"): adds, fills in and deletes stored languages. Keeps nothing
// of its own; every change goes to the store at once. The word boxes take input only while a
// language is chosen, so nothing typed is ever dropped.
class LanguageEditor : public QDialog {
  Q_OBJECT

 public:
  LanguageEditor(SettingsStore& store, qt::Dialogs& dialogs, QWidget* parent = nullptr);

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
  // Words are stored under a name that is not blank.
  bool WordsCanBeStored() const;

  SettingsStore& store_;
  qt::Dialogs& dialogs_;
  QLineEdit* new_name_box_ = nullptr;
  PictureButton* add_button_ = nullptr;
  QComboBox* language_list_ = nullptr;
  PictureButton* delete_button_ = nullptr;
  QFrame* words_frame_ = nullptr;
  QScrollArea* words_area_ = nullptr;
  std::array<QLineEdit*, kBoxCount> word_boxes_{};
};

}  // namespace quillory::ui
