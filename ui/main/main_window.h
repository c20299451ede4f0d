#pragma once

#include <QPointer>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "workbook/conversion_run.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QHBoxLayout;
class QLabel;
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
class HelpWindow;
class PictureButton;

inline const QString kHomePage = QStringLiteral("https://www.orvanta.com/quillory/");
inline const QString kAddFilesTitle =
    QStringLiteral("Add File(s) - Hold Ctrl to select multiple files");
inline const QString kWorkbookFilter =
    QStringLiteral("Spreadsheet Files (*.xl* *.ods *.ots);;All Files (*)");
inline const QString kNothingFound =
    QStringLiteral("No workbooks were found in %1 or the folders below it.");
inline const QString kCancelToClose = QStringLiteral(
    "A conversion is running. Cancel it and close Quillory?\n\nThe workbook being converted is "
    "closed without saving; the workbooks before it stay converted.");

// What the window reaches outside itself for; tests supply their own.
struct MainWindowServices {
  std::function<int()> draw_percent;  // a whole number from 1 to 100, uniform
  std::function<void(const QString& address)> open_web_page;
  QString program_folder;  // where "HAND-M.CUR" and "drag.ico" are looked for
  workbook::ApplicationFactory open_application;
  std::function<bool(const std::vector<std::string>& paths)> spreadsheet_in_use;
  workbook::BackupMaker start_backup;
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
  BackgroundRun& run() { return *run_; }
  bool running() const;
  int scans_running() const { return scans_running_; }

  // What Start converts, as the window shows it now.
  workbook::RunOptions CurrentRunOptions() const;
  // The language conversions use, as the window names it: "English" or a stored language.
  QString CurrentLanguageName() const;
  // The currency of amounts in the current built-in language, as chosen beside the kind ("EUR");
  // "" for English and stored languages, whose amounts are in the unit words.
  QString CurrentCurrency() const;

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
  void TabIntoCheckedOptions();
  void ShowCurrentLanguage();
  void ShowCurrencies();
  void ChooseCurrency(int index);
  void ShowCurrencyName();

  void AddFiles();
  void AddFolder();
  void ScanFolders(const QStringList& folders);
  void ClearList();
  void RenameUnits();
  void OpenLanguageEditor();
  void OpenDefaultLanguage();
  void OpenHelp();
  void Start();
  void RunEnded(const workbook::RunReport& report);

  SettingsStore& store_;
  WordSource& words_;
  qt::Dialogs& dialogs_;
  MainWindowServices services_;

  FileListModel* files_ = nullptr;
  FileListView* file_list_ = nullptr;
  PictureButton* add_files_button_ = nullptr;
  PictureButton* add_folder_button_ = nullptr;
  PictureButton* clear_list_button_ = nullptr;
  // The row of the kind group: a control for a kind's details goes beside the group here.
  QHBoxLayout* kind_row_ = nullptr;
  QGroupBox* kind_group_ = nullptr;
  QRadioButton* number_option_ = nullptr;
  QRadioButton* currency_option_ = nullptr;
  QRadioButton* letters_option_ = nullptr;
  // Beside the kinds while the current language is a built-in one: its currencies by code.
  QWidget* currency_box_ = nullptr;
  QLabel* currency_label_ = nullptr;
  QComboBox* currency_list_ = nullptr;
  QGroupBox* scope_group_ = nullptr;
  QRadioButton* workbook_option_ = nullptr;
  QRadioButton* sheet_option_ = nullptr;
  QRadioButton* block_option_ = nullptr;
  QCheckBox* backup_box_ = nullptr;
  QLabel* language_label_ = nullptr;
  PictureButton* rename_units_button_ = nullptr;
  PictureButton* languages_button_ = nullptr;
  PictureButton* default_language_button_ = nullptr;
  PictureButton* help_button_ = nullptr;
  PictureButton* start_button_ = nullptr;

  std::unique_ptr<qt::WindowPointer> pointer_;
  int scans_running_ = 0;
  // Set when the window goes, so that scans still running end instead of keeping the program up.
  std::shared_ptr<std::atomic<bool>> stop_scans_ = std::make_shared<std::atomic<bool>>(false);

  std::unique_ptr<BackgroundRun> run_;
  bool close_after_run_ = false;
  QPointer<QWidget> report_window_;
  QPointer<HelpWindow> help_window_;
};

}  // namespace quillory::ui
