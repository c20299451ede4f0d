#include "ui/main/background_run.h"

#include <QFileInfo>
#include <QProgressDialog>
#include <QtConcurrent/QtConcurrentRun>

#include "platform/qt/gui_prompts.h"
#include "platform/qt/pointer.h"

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
  connect(&run_, &QFutureWatcherBase::finished, this, &BackgroundRun::End);
}

BackgroundRun::~BackgroundRun() {
  if (run_.isRunning()) run_.waitForFinished();
}

bool BackgroundRun::Start(workbook::RunOptions options) {
  if (running()) return false;

  qt::GuiPrompts::Hooks hooks;
  hooks.set_busy = [this](bool busy) { pointer_.SetBusy(busy); };
  hooks.progress = [this](int index, int count, const QString& path, qint64 cells, qint64) {
    ShowProgress(index, count, path, cells);
  };
  hooks.before_box = [this] {
    if (progress_) progress_->hide();
  };
  prompts_ = std::make_unique<qt::GuiPrompts>(dialogs_, window_, std::move(hooks));

  run_.setFuture(
      QtConcurrent::run(&thread_, [options = std::move(options), &words = words_,
                                   &prompts = *prompts_, services = services_]() mutable {
        workbook::ConversionRun run(std::move(options), words, prompts, std::move(services));
        return run.Execute();
      }));
  return true;
}

void BackgroundRun::ShowProgress(int index, int count, const QString& path, qint64 cells) {
  if (!running()) return;
  if (!progress_) {
    progress_ = new QProgressDialog(window_);
    progress_->setWindowTitle(QStringLiteral("Quillory"));
    progress_->setCancelButton(nullptr);
    progress_->setWindowModality(Qt::WindowModal);
    progress_->setMinimumDuration(0);
    progress_->setMinimumWidth(420);
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
  }
  progress_->setRange(0, count);
  progress_->setValue(index - 1);
  progress_->setLabelText(tr("Workbook %1 of %2\n%3\n%4 cells done")
                              .arg(index)
                              .arg(count)
                              .arg(QFileInfo(path).fileName())
                              .arg(cells));
  if (!progress_->isVisible()) progress_->show();
}

void BackgroundRun::End() {
  if (progress_) progress_->deleteLater();
  const workbook::RunReport report = run_.result();
  prompts_.reset();
  emit Finished(report);
}

}  // namespace quillory::ui
