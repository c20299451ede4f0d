#pragma once

#include <QDialog>

class QTabWidget;

namespace quillory::ui {

// Help and About in one window beside the main window: the README's help, and the program's
// version, home page and the libraries it is built with, with their licences.
class HelpWindow final : public QDialog {
  Q_OBJECT

 public:
  explicit HelpWindow(QWidget* parent = nullptr);

  void ShowAbout();
  void ShowHelp();

 private:
  QTabWidget* tabs_ = nullptr;
};

// The About text (HTML): version, home page and how it is opened, libraries and licences.
QString AboutText();
// The README, as carried inside the program (Markdown).
QString HelpText();

}  // namespace quillory::ui
