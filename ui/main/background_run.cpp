#include "ui/main/background_run.h"

#include <QtConcurrent/QtConcurrentRun>

#include "platform/qt/gui_prompts.h"
#include "platform/qt/pointer.h"
#include "ui/main/run_progress_window.h"

namespace quillory::ui {

BackgroundRun::BackgroundRun(QWidget* window, WordSource& words, qt::Dialogs& dialogs,
                             qt::WindowPointer& pointer, workbook::RunServices services)
    : window_(window),
      words_(words),
      dialogs_(dialogs),
      pointer_(pointer),
      services_(std::move(services)) {
  thread_.setMaxThreadCount(1);
  thread_.setExpiryTimeout(-1);
  services_.cancel = &cancel_;
  connect(&run_, &QFutureWatcherBase::finished, this, &BackgroundRun::End);
}

BackgroundRun::~BackgroundRun() {
  if (run_.isRunning()) {
    cancel_ = true;
    run_.waitForFinished();
  }
}

bool BackgroundRun::Start(workbook::RunOptions options) {
  if (running()) return false;

  qt::GuiPrompts::Hooks hooks;
  hooks.set_busy = [this](bool busy) { pointer_.SetBusy(busy); };
  hooks.progress = [this](int index, int count, const QString& path, qint64 cells,
                          qint64 cells_total) {
    ShowProgress(index, count, path, cells, cells_total);
  };
  hooks.before_box = [this] {
    if (progress_) progress_->hide();
  };
  prompts_ = std::make_unique<qt::GuiPrompts>(dialogs_, window_, std::move(hooks));
  cancel_ = false;
  paths_ = options.paths;

  run_.setFuture(
      QtConcurrent::run(&thread_, [options = std::move(options), &words = words_,
                                   &prompts = *prompts_, services = services_]() mutable {
        workbook::ConversionRun run(std::move(options), words, prompts, std::move(services));
        return run.Execute();
      }));
  return true;
}

void BackgroundRun::Cancel() {
  if (!running()) return;
  cancel_ = true;
  if (progress_) progress_->ShowCancelling();
}

void BackgroundRun::ShowProgress(int index, int count, const QString& path, qint64 cells,
                                 qint64 cells_total) {
  if (!running()) return;
  if (!progress_) {
    // Not modal: the main window stays usable, and closing it asks whether to cancel the run.
    progress_ = new RunProgressWindow(window_);
    connect(progress_, &RunProgressWindow::CancelRequested, this, &BackgroundRun::Cancel);
    if (cancel_) progress_->ShowCancelling();
  }
  progress_->Show(index, count, path, cells, cells_total);
  if (!progress_->isVisible()) progress_->show();
}

void BackgroundRun::End() {
  if (progress_) progress_->deleteLater();
  const workbook::RunReport report = run_.result();
  prompts_.reset();
  emit Finished(report);
}

}  // namespace quillory::ui
