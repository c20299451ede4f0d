#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <optional>
#include <vector>

#include "workbook/spreadsheet.h"

class QWidget;

namespace quillory::workbook {
struct RunReport;
}

namespace quillory::qt {

inline const QString kBoxTitle = QStringLiteral("Quillory");

// A block given by the sheet's position among the workbook's worksheets, for scripted answers.
struct BlockChoice {
  int sheet = 0;
  std::int32_t first_row = 1;
  std::int32_t first_column = 1;
  std::int32_t last_row = 1;
  std::int32_t last_column = 1;
};

// Every box the window program shows goes through here. A test queues answers with the Script*
// calls; once scripted, no box is shown: the next queued answer of that kind is taken (cancel, No
// or nothing when none is left) and every box asked for is recorded.
class Dialogs {
 public:
  enum class BoxKind { Message, YesNo, Text, OpenFiles, Folder, Block, SaveFile, Report };
  struct Shown {
    BoxKind kind;
    QString text;     // message, question, prompt or dialog title
    QString initial;  // pre-filled answer, file filter
    QString details;  // a message's further lines; a report's cells left, a line each
  };

  Dialogs() = default;
  virtual ~Dialogs() = default;
  Dialogs(const Dialogs&) = delete;
  Dialogs& operator=(const Dialogs&) = delete;

  void Message(QWidget* parent, const QString& text, const QString& details = {});
  bool AskYesNo(QWidget* parent, const QString& text);
  // Nothing when cancelled.
  std::optional<QString> AskText(QWidget* parent, const QString& prompt, const QString& initial);
  // The chosen files, full paths as the dialog returns them; empty when cancelled.
  QStringList OpenFiles(QWidget* parent, const QString& title, const QString& filter);
  // The chosen folder; "" when cancelled.
  QString ExistingFolder(QWidget* parent, const QString& prompt);
  // A block of cells of `workbook` chosen with the mouse; nothing when cancelled.
  std::optional<workbook::Block> PickBlock(QWidget* parent, workbook::Workbook& workbook);
  // The path to save to, `suggested` offered; "" when cancelled.
  QString SaveFile(QWidget* parent, const QString& title, const QString& filter,
                   const QString& suggested);
  // The end-of-run report in a window of its own that stays open beside the main window;
  // nothing waits for it. Returns the window (none when scripted).
  QWidget* ShowReport(QWidget* parent, const workbook::RunReport& report);

  // Scripting: from the first call on, no box is shown any more. Each kind of box takes the
  // answers queued for its kind, in order.
  void ScriptYesNo(bool yes) { Queue(yes_no_, yes); }
  void ScriptText(std::optional<QString> answer) {
    Queue(texts_, TextAnswer{answer.has_value(), answer.value_or(QString())});
  }
  void ScriptFiles(QStringList files) { Queue(files_, std::move(files)); }
  void ScriptFolder(QString folder) { Queue(folders_, std::move(folder)); }
  void ScriptBlock(std::optional<BlockChoice> block) { Queue(blocks_, block); }
  void ScriptSaveFile(QString path) { Queue(save_files_, std::move(path)); }
  void SetScripted() { scripted_ = true; }

  const std::vector<Shown>& shown() const { return shown_; }

 private:
  struct TextAnswer {
    bool given = false;  // false: cancelled
    QString text;
  };

  template <typename T>
  void Queue(std::deque<T>& answers, T answer) {
    scripted_ = true;
    answers.push_back(std::move(answer));
  }
  // The next queued answer, or `none` when there is none.
  template <typename T>
  static T Take(std::deque<T>& answers, T none) {
    if (answers.empty()) return none;
    T answer = std::move(answers.front());
    answers.pop_front();
    return answer;
  }

  bool scripted_ = false;
  std::deque<bool> yes_no_;
  std::deque<TextAnswer> texts_;
  std::deque<QStringList> files_;
  std::deque<QString> folders_;
  std::deque<std::optional<BlockChoice>> blocks_;
  std::deque<QString> save_files_;
  std::vector<Shown> shown_;
};

}  // namespace quillory::qt
