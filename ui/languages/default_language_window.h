#pragma once

#include <QDialog>

class QComboBox;

namespace quillory {
class SettingsStore;
class WordSource;
}  // namespace quillory

namespace quillory::ui {

class PictureButton;

// The default language window ("Set Default Language"). Opening it makes the stored default the
// current language at once; "Set" stores the chosen language, makes it current and closes.
class DefaultLanguageWindow : public QDialog {
  Q_OBJECT

 public:
  DefaultLanguageWindow(SettingsStore& store, WordSource& words, QWidget* parent = nullptr);

 private:
  void BuildWindow();
  void FillLanguageList();
  void SelectStoredDefault();
  void SetPressed();

  SettingsStore& store_;
  WordSource& words_;
  QComboBox* language_list_ = nullptr;
  PictureButton* set_button_ = nullptr;
};

}  // namespace quillory::ui
