#include "ui/main/run_progress_window.h"

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillory::ui {
namespace {

// The bars count in thousandths: a workbook's cells may be more than an int holds.
constexpr int kBarSteps = 1000;

int Steps(qint64 done, qint64 total) {
  if (total <= 0) return 0;
  return static_cast<int>(std::min<qint64>(kBarSteps, done * kBarSteps / total));
}

}  // namespace

RunProgressWindow::RunProgressWindow(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("RunProgress"));
  setWindowTitle(QStringLiteral("Quillory"));

  workbook_ = new QLabel(this);
  workbook_->setObjectName(QStringLiteral("Workbook"));
  path_ = new QLabel(this);
  path_->setObjectName(QStringLiteral("Path"));
  path_->setTextFormat(Qt::PlainText);
  workbooks_bar_ = new QProgressBar(this);
  workbooks_bar_->setObjectName(QStringLiteral("WorkbooksBar"));
  workbooks_bar_->setRange(0, kBarSteps);
  workbooks_bar_->setTextVisible(false);
  cells_ = new QLabel(this);
  cells_->setObjectName(QStringLiteral("Cells"));
  cells_bar_ = new QProgressBar(this);
  cells_bar_->setObjectName(QStringLiteral("CellsBar"));
  cells_bar_->setRange(0, kBarSteps);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
  cancel_ = buttons->button(QDialogButtonBox::Cancel);
  cancel_->setText(QStringLiteral("&Cancel"));
  cancel_->setObjectName(QStringLiteral("Cancel"));
  connect(buttons, &QDialogButtonBox::rejected, this, &RunProgressWindow::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(workbook_);
  layout->addWidget(path_);
  layout->addWidget(workbooks_bar_);
  layout->addSpacing(6);
  layout->addWidget(cells_);
  layout->addWidget(cells_bar_);
  layout->addWidget(buttons);
  setMinimumWidth(qMax(420, fontMetrics().horizontalAdvance(QLatin1Char('M')) * 34));
}

void RunProgressWindow::Show(int index, int count, const QString& path, qint64 cells,
                             qint64 cells_total) {
  const QLocale locale;
  workbook_->setText(
      QStringLiteral("Workbook %1 of %2: %3")
          .arg(locale.toString(index), locale.toString(count), QFileInfo(path).fileName()));
  // The folder, cut in the middle when long; the whole path as the tooltip.
  const QString folder = QFileInfo(path).path();
  path_->setText(path_->fontMetrics().elidedText(folder, Qt::ElideMiddle, width() - 24));
  path_->setToolTip(path);
  // Whole workbooks done, and the part of this one.
  const qint64 whole = std::max<qint64>(cells_total, 1);
  const qint64 part = cells_total > 0 ? cells : 0;
  workbooks_bar_->setValue(Steps(qint64{index - 1} * whole + part, qint64{count} * whole));
  if (cells_total > 0) {
    // Every cell passed: what remains is writing the workbook back.
    const QString text = cells < cells_total
                             ? QStringLiteral("Cells: %1 of %2")
                             : QStringLiteral("Cells: %1 of %2; saving the workbook...");
    cells_->setText(text.arg(locale.toString(cells), locale.toString(cells_total)));
    cells_bar_->setValue(Steps(cells, cells_total));
  } else {
    cells_->setText(QStringLiteral("Opening the workbook..."));
    cells_bar_->setValue(0);
  }
  if (cancelling_) ShowCancelling();
}

void RunProgressWindow::ShowCancelling() {
  cancelling_ = true;
  cancel_->setEnabled(false);
  cells_->setText(QStringLiteral("Cancelling: the workbook is closed without saving..."));
}

QString RunProgressWindow::WorkbookText() const {
  return workbook_->text();
}

QString RunProgressWindow::CellsText() const {
  return cells_->text();
}

void RunProgressWindow::reject() {
  // Escape and the Cancel button: the window stays until the run has stopped.
  if (!cancelling_) emit CancelRequested();
}

void RunProgressWindow::closeEvent(QCloseEvent* event) {
  event->ignore();
  reject();
}

}  // namespace quillory::ui
