#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <mutex>

#include "platform/qt/dialogs.h"
#include "platform/qt/text.h"
#include "workbook/prompts.h"

class QWidget;

namespace quillory::qt {

// The prompts of a conversion run that works off the window's thread: every box is shown on the
// thread this object was made on, the run waiting for the answer. Progress is passed on without
// waiting, only the latest figures when several come before the window catches up.
class GuiPrompts final : public QObject, public workbook::Prompts {
 public:
  struct Hooks {
    std::function<void(bool busy)> set_busy;
    std::function<void(int index, int count, const QString& path, qint64 cells, qint64 cells_total)>
        progress;
    std::function<void()> before_box;  // a box is about to show
  };

  GuiPrompts(Dialogs& dialogs, QWidget* parent, Hooks hooks);

  void Message(std::string_view text, std::string_view details) override;
  bool AskYesNo(std::string_view text) override;
  std::optional<std::string> AskText(std::string_view prompt, std::string_view initial) override;
  std::optional<workbook::Block> PickBlock(workbook::Workbook& workbook) override;
  void SetBusy(bool busy) override;
  void Progress(const workbook::RunProgress& progress) override;
  // The window shows the report itself once the run has ended.
  void Report(const workbook::RunReport&, std::string_view) override {}

 private:
  template <typename F>
  void OnGuiThread(F&& action);
  void BeforeBox();
  void ShowProgress();

  Dialogs& dialogs_;
  QPointer<QWidget> parent_;
  Hooks hooks_;

  struct Figures {
    int index = 0;
    int count = 0;
    QString path;
    qint64 cells = 0;
    qint64 cells_total = 0;
  };
  std::mutex progress_mutex_;
  Figures progress_;
  bool progress_posted_ = false;
};

}  // namespace quillory::qt
