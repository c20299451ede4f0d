#pragma once

#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "workbook/conversion_run.h"

class QCheckBox;
class QGroupBox;
class QPushButton;
class QRadioButton;

namespace quillory {
class SettingsStore;
class WordSource;
namespace qt {
class Dialogs;
class WindowPointer;
}  // namespace qt
}  // namespace quillory

namespace quillory::ui {

class BackgroundRun;
class FileListModel;
class FileListView;
class PictureButton;

inline const QString kHomePage = QStringLiteral("https://www.orvanta.com/quillory/");
inline const QString kAddFilesTitle =
    QStringLiteral("Add File(s) - Hold Ctrl to select multiple files");
inline const QString kWorkbookFilter = QStringLiteral("Excel Files (*.xl*)");

// What the window reaches outside itself for; tests supply their own.
struct MainWindowServices {
  std::function<int()> draw_percent;  // a whole number from 1 to 100, uniform
  std::function<void(const QString& address)> open_web_page;
  QString program_folder;  // where "HAND-M.CUR" and "drag.ico" are looked for
  workbook::ApplicationFactory open_application;
  std::function<bool(const std::vector<std::string>& paths)> spreadsheet_in_use;
};

// The window the program opens with: the file list, the conversion options and the commands.
// Every option is written to the store the moment it changes.
class MainWindow final : public QWidget {
  Q_OBJECT

 public:
  MainWindow(SettingsStore& store, WordSource& words, qt::Dialogs& dialogs,
             MainWindowServices services, QWidget* parent = nullptr);
  ~MainWindow() override;

  FileListModel& files() { return *files_; }
  qt::WindowPointer& pointer() { return *pointer_; }
  bool running() const;
  int scans_running() const { return scans_running_; }

  // What Start converts, as the window shows it now.
  workbook::RunOptions CurrentRunOptions() const;

 signals:
  void RunFinished(const workbook::RunReport& report);
  void ScanFinished();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();
  void SetTabOrder();
  void Connect();
  void CentreOnScreen();
  void LoadPointers();
  void MakeRun();
  void SetWordCommandsEnabled(bool enabled);
  void MaybeOpenHomePage();
  void RestoreOptions();
  void RewriteInNormalForm(std::string_view key, std::string_view normal);

  void AddFiles(bool pressed);
  void AddFolder(bool pressed);
  void ClearList(bool pressed);
  void RenameUnits();
  void OpenLanguageEditor(bool pressed);
  void OpenDefaultLanguage(bool pressed);
  void Start(bool pressed);

  SettingsStore& store_;
  WordSource& words_;
  qt::Dialogs& dialogs_;
  MainWindowServices services_;

  FileListModel* files_ = nullptr;
  FileListView* list_ = nullptr;
  PictureButton* check1_ = nullptr;
  PictureButton* check5_ = nullptr;
  PictureButton* check7_ = nullptr;
  QGroupBox* frame1_ = nullptr;
  QRadioButton* option1_ = nullptr;
  QRadioButton* option2_ = nullptr;
  QRadioButton* option6_ = nullptr;
  QGroupBox* frame2_ = nullptr;
  QRadioButton* option3_ = nullptr;
  QRadioButton* option4_ = nullptr;
  QRadioButton* option5_ = nullptr;
  QCheckBox* check3_ = nullptr;
  PictureButton* check4_ = nullptr;
  PictureButton* check8_ = nullptr;
  PictureButton* check9_ = nullptr;
  PictureButton* check2_ = nullptr;
  QPushButton* command1_ = nullptr;

  std::unique_ptr<qt::WindowPointer> pointer_;
  int scans_running_ = 0;
  // Set when the window goes, so that scans still running end instead of keeping the program up.
  std::shared_ptr<std::atomic<bool>> stop_scans_ = std::make_shared<std::atomic<bool>>(false);

  std::unique_ptr<BackgroundRun> run_;
};

}  // namespace quillory::ui
