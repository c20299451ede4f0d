#pragma once

#include <QFutureWatcher>
#include <QObject>
#include <QPointer>
#include <QThreadPool>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "workbook/conversion_run.h"

class QWidget;

namespace quillory {
class WordSource;
namespace qt {
class Dialogs;
class GuiPrompts;
class WindowPointer;
}  // namespace qt
}  // namespace quillory

namespace quillory::ui {

class RunProgressWindow;

// One conversion run at a time, off the window's thread so the window keeps repainting. Its boxes
// show over `window`, its progress in a window of its own whose Cancel stops the run before the
// next cell, its busy pointer on `pointer`.
class BackgroundRun final : public QObject {
  Q_OBJECT

 public:
  BackgroundRun(QWidget* window, WordSource& words, qt::Dialogs& dialogs,
                qt::WindowPointer& pointer, workbook::RunServices services);
  ~BackgroundRun() override;

  bool running() const { return prompts_ != nullptr; }
  bool cancelling() const { return cancel_.load(); }
  // The paths of the run that is running or ended last.
  const std::vector<std::string>& paths() const { return paths_; }
  RunProgressWindow* progress_window() const { return progress_; }

  // Starts a run over `options`; false when one is already running.
  bool Start(workbook::RunOptions options);
  // Asks the running run to stop before its next cell.
  void Cancel();

 signals:
  void Finished(const workbook::RunReport& report);

 private:
  void ShowProgress(int index, int count, const QString& path, qint64 cells, qint64 cells_total);
  void End();

  QWidget* window_;
  WordSource& words_;
  qt::Dialogs& dialogs_;
  qt::WindowPointer& pointer_;
  workbook::RunServices services_;

  std::unique_ptr<qt::GuiPrompts> prompts_;
  std::atomic<bool> cancel_{false};
  std::vector<std::string> paths_;
  // Every run on the same thread, kept while the window lives: a LibreOffice instance a run
  // starts is ended with the thread that started it, and is reused by the next run.
  QThreadPool thread_;
  QFutureWatcher<workbook::RunReport> run_;
  QPointer<RunProgressWindow> progress_;
};

}  // namespace quillory::ui
