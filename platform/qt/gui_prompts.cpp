#include "platform/qt/gui_prompts.h"

#include <QThread>
#include <QWidget>

namespace quillory::qt {

GuiPrompts::GuiPrompts(Dialogs& dialogs, QWidget* parent, Hooks hooks)
    : dialogs_(dialogs), parent_(parent), hooks_(std::move(hooks)) {}

template <typename F>
void GuiPrompts::OnGuiThread(F&& action) {
  if (QThread::currentThread() == thread()) {
    action();
  } else {
    QMetaObject::invokeMethod(this, std::forward<F>(action), Qt::BlockingQueuedConnection);
  }
}

void GuiPrompts::Message(std::string_view text, std::string_view details) {
  OnGuiThread([&] {
    BeforeBox();
    dialogs_.Message(parent_, ToQString(text), ToQString(details));
  });
}

bool GuiPrompts::AskYesNo(std::string_view text) {
  bool yes = false;
  OnGuiThread([&] {
    BeforeBox();
    yes = dialogs_.AskYesNo(parent_, ToQString(text));
  });
  return yes;
}

std::optional<std::string> GuiPrompts::AskText(std::string_view prompt, std::string_view initial) {
  std::optional<std::string> answer;
  OnGuiThread([&] {
    BeforeBox();
    if (auto text = dialogs_.AskText(parent_, ToQString(prompt), ToQString(initial))) {
      answer = ToUtf8(*text);
    }
  });
  return answer;
}

std::optional<workbook::Block> GuiPrompts::PickBlock(workbook::Workbook& workbook) {
  // The run waits while the dialog reads the workbook, so the two never touch it at once.
  std::optional<workbook::Block> block;
  OnGuiThread([&] {
    BeforeBox();
    block = dialogs_.PickBlock(parent_, workbook);
  });
  return block;
}

void GuiPrompts::BeforeBox() {
  if (hooks_.before_box) hooks_.before_box();
}

void GuiPrompts::SetBusy(bool busy) {
  OnGuiThread([&] {
    if (hooks_.set_busy) hooks_.set_busy(busy);
  });
}

void GuiPrompts::Progress(const workbook::RunProgress& progress) {
  {
    std::lock_guard lock(progress_mutex_);
    progress_ = {progress.index, progress.count, ToQString(progress.path),
                 static_cast<qint64>(progress.cells), static_cast<qint64>(progress.cells_total)};
    if (progress_posted_) return;
    progress_posted_ = true;
  }
  QMetaObject::invokeMethod(
      this, [this] { ShowProgress(); }, Qt::QueuedConnection);
}

void GuiPrompts::ShowProgress() {
  Figures figures;
  {
    std::lock_guard lock(progress_mutex_);
    figures = progress_;
    progress_posted_ = false;
  }
  if (hooks_.progress) {
    hooks_.progress(figures.index, figures.count, figures.path, figures.cells, figures.cells_total);
  }
}

}  // namespace quillory::qt
