#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace quillory::ui {

// Where a run stands: workbook i of n with its name, and the cells of its used range passed out
// of their total. Cancel, Escape and closing the window all ask the run to stop; the window stays
// until the run has ended, saying that it is stopping.
class RunProgressWindow final : public QDialog {
  Q_OBJECT

 public:
  explicit RunProgressWindow(QWidget* parent = nullptr);

  void Show(int index, int count, const QString& path, qint64 cells, qint64 cells_total);
  // The run has been asked to stop; shown until it has.
  void ShowCancelling();
  bool cancelling() const { return cancelling_; }

  QString WorkbookText() const;
  QString CellsText() const;

 signals:
  void CancelRequested();

 public slots:
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QLabel* workbook_ = nullptr;
  QLabel* path_ = nullptr;
  QProgressBar* workbooks_bar_ = nullptr;
  QLabel* cells_ = nullptr;
  QProgressBar* cells_bar_ = nullptr;
  QPushButton* cancel_ = nullptr;
  bool cancelling_ = false;
};

}  // namespace quillory::ui
