#include "platform/qt/dialogs.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QInputDialog>
#include <QMessageBox>
#include <QSpacerItem>

#include "platform/qt/block_picker.h"
#include "platform/qt/run_report_window.h"
#include "platform/qt/text.h"
#include "workbook/conversion_run.h"
#include "workbook/text_escape.h"

namespace quillory::qt {
namespace {

// Wide enough that no window manager cuts the title short, and a short message such as
// "Done." does not sit in a cramped box.
void KeepWide(QMessageBox& box) {
  constexpr int kMinimumWidth = 320;
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    grid->addItem(new QSpacerItem(kMinimumWidth, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
  }
}

}  // namespace

void Dialogs::Message(QWidget* parent, const QString& text, const QString& details) {
  shown_.push_back({BoxKind::Message, text, {}, details});
  if (scripted_) return;
  QMessageBox box(QMessageBox::NoIcon, kBoxTitle, text, QMessageBox::Ok, parent);
  if (!details.isEmpty()) box.setDetailedText(details);
  KeepWide(box);
  box.exec();
}

bool Dialogs::AskYesNo(QWidget* parent, const QString& text) {
  shown_.push_back({BoxKind::YesNo, text, {}, {}});
  if (scripted_) return Take(yes_no_, false);
  // Closing the box or pressing Escape answers No.
  QMessageBox box(QMessageBox::NoIcon, kBoxTitle, text, QMessageBox::Yes | QMessageBox::No, parent);
  box.setEscapeButton(QMessageBox::No);
  KeepWide(box);
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

QString Dialogs::SaveFile(QWidget* parent, const QString& title, const QString& filter,
                          const QString& suggested) {
  shown_.push_back({BoxKind::SaveFile, title, filter, suggested});
  if (scripted_) return Take(save_files_, QString());
  return QFileDialog::getSaveFileName(parent, title, suggested, filter);
}

QWidget* Dialogs::ShowReport(QWidget* parent, const workbook::RunReport& report) {
  QStringList lines;
  for (const workbook::CellMessage& cell : report.messages) {
    lines.append(ToQString(workbook::EscapeText(cell.workbook + ", " + cell.sheet + "!" +
                                                cell.cell + ": " + cell.message)));
  }
  shown_.push_back({BoxKind::Report, ToQString(report.summary), {}, lines.join(u'\n')});
  if (scripted_) return nullptr;
  auto* window = new RunReportWindow(report, *this, parent);
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->show();
  return window;
}

}  // namespace quillory::qt
