#include "platform/qt/dialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

#include "platform/qt/block_picker.h"

namespace quillory::qt {

void Dialogs::Message(QWidget* parent, const QString& text, const QString& details) {
  shown_.push_back({BoxKind::Message, text, {}, details});
  if (scripted_) return;
  QMessageBox box(QMessageBox::NoIcon, kBoxTitle, text, QMessageBox::Ok, parent);
  if (!details.isEmpty()) box.setDetailedText(details);
  box.exec();
}

bool Dialogs::AskYesNo(QWidget* parent, const QString& text) {
  shown_.push_back({BoxKind::YesNo, text, {}, {}});
  if (scripted_) return Take(yes_no_, false);
  QMessageBox box(QMessageBox::NoIcon, kBoxTitle, text, QMessageBox::Yes | QMessageBox::No, parent);
  return box.exec() == QMessageBox::Yes;
}

std::optional<QString> Dialogs::AskText(QWidget* parent, const QString& prompt,
                                        const QString& initial) {
  shown_.push_back({BoxKind::Text, prompt, initial, {}});
  if (scripted_) {
    TextAnswer answer = Take(texts_, TextAnswer());
    if (!answer.given) return std::nullopt;
    return answer.text;
  }
  bool ok = false;
  QString answer =
      QInputDialog::getText(parent, kBoxTitle, prompt, QLineEdit::Normal, initial, &ok);
  if (!ok) return std::nullopt;
  return answer;
}

QStringList Dialogs::OpenFiles(QWidget* parent, const QString& title, const QString& filter) {
  shown_.push_back({BoxKind::OpenFiles, title, filter, {}});
  if (scripted_) return Take(files_, QStringList());
  return QFileDialog::getOpenFileNames(parent, title, QString(), filter);
}

QString Dialogs::ExistingFolder(QWidget* parent, const QString& prompt) {
  shown_.push_back({BoxKind::Folder, prompt, {}, {}});
  if (scripted_) return Take(folders_, QString());
  return QFileDialog::getExistingDirectory(parent, prompt);
}

std::optional<workbook::Block> Dialogs::PickBlock(QWidget* parent, workbook::Workbook& workbook) {
  shown_.push_back({BoxKind::Block, kBlockPrompt, {}, {}});
  if (scripted_) {
    const std::optional<BlockChoice> answer = Take(blocks_, std::optional<BlockChoice>());
    if (!answer) return std::nullopt;
    const BlockChoice& choice = *answer;
    const std::vector<workbook::Worksheet*> sheets = workbook.Worksheets();
    if (choice.sheet < 0 || choice.sheet >= static_cast<int>(sheets.size())) return std::nullopt;
    return workbook::Block{sheets[static_cast<std::size_t>(choice.sheet)], choice.first_row,
                           choice.first_column, choice.last_row, choice.last_column};
  }
  BlockPickerDialog dialog(workbook, parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.SelectedBlock();
}

}  // namespace quillory::qt
