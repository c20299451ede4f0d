#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <optional>
#include <variant>
#include <vector>

#include "workbook/spreadsheet.h"

class QWidget;

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

// Every box the window program shows goes through here. A test queues the answers with the
// Script* calls; while a script is set no box is shown: a queued answer of the right kind is taken
// (cancel, No or nothing when there is none) and every box asked for is recorded.
class Dialogs {
 public:
  enum class BoxKind { Message, YesNo, Text, OpenFiles, Folder, Block };
  struct Shown {
    BoxKind kind;
    QString text;     // message, question, prompt or dialog title
    QString initial;  // pre-filled answer, file filter
    QString details;  // a message's further lines
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

  // Scripting: from the first call on, no box is shown any more.
  void ScriptYesNo(bool yes) { Queue(yes); }
  void ScriptText(std::optional<QString> answer) { Queue(TextAnswer{std::move(answer)}); }
  void ScriptFiles(QStringList files) { Queue(std::move(files)); }
  void ScriptFolder(QString folder) { Queue(FolderAnswer{std::move(folder)}); }
  void ScriptBlock(std::optional<BlockChoice> block) { Queue(BlockAnswer{block}); }
  void SetScripted() { scripted_ = true; }

  const std::vector<Shown>& shown() const { return shown_; }
  std::size_t pending() const { return answers_.size(); }

 private:
  struct TextAnswer {
    std::optional<QString> text;
  };
  struct FolderAnswer {
    QString folder;
  };
  struct BlockAnswer {
    std::optional<BlockChoice> block;
  };
  using Answer = std::variant<bool, TextAnswer, QStringList, FolderAnswer, BlockAnswer>;

  void Queue(Answer answer) {
    scripted_ = true;
    answers_.push_back(std::move(answer));
  }
  // The next queued answer when it has the type asked for; it is dropped either way.
  template <typename T>
  std::optional<T> Take() {
    if (answers_.empty()) return std::nullopt;
    Answer answer = std::move(answers_.front());
    answers_.pop_front();
    if (T* value = std::get_if<T>(&answer)) return std::move(*value);
    return std::nullopt;
  }

  bool scripted_ = false;
  std::deque<Answer> answers_;
  std::vector<Shown> shown_;
};

}  // namespace quillory::qt
