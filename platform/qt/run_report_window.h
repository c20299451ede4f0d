#pragma once

#include <QDialog>
#include <vector>

#include "workbook/conversion_run.h"

class QLabel;
class QSortFilterProxyModel;
class QTableView;

namespace quillory::qt {

class Dialogs;

// The end of a run: how it ended ("Done."), the counts of workbooks and cells, and a table of
// the cells left as they were (workbook, sheet, cell, text, reason) that sorts by any column,
// copies and saves as CSV. A window of its own, resizable, that keeps nothing from the run.
class RunReportWindow final : public QDialog {
  Q_OBJECT

 public:
  RunReportWindow(const workbook::RunReport& report, Dialogs& dialogs, QWidget* parent = nullptr);

  // The rows in the order shown, tab-separated, texts as shown: the selected rows, or every
  // row when none is selected. The first line names the columns.
  QString CopiedText() const;

 private:
  void Copy();
  void SaveAsCsv();

  Dialogs& dialogs_;
  std::vector<workbook::CellMessage> cells_;
  QTableView* table_ = nullptr;
  QSortFilterProxyModel* sorted_ = nullptr;
};

// The lines of counts under the summary: workbooks converted, failed, cancelled, skipped (and
// not reached, when some were not), cells converted, cells left as they were.
QString ReportCounts(const workbook::RunReport& report);

// `cells` as CSV (RFC 4180, UTF-8): a line naming the columns, then one line per cell with its
// text exactly as displayed.
QByteArray CellsLeftCsv(const std::vector<const workbook::CellMessage*>& cells);

// A cell's text with tabs, line breaks and other control characters made visible, as the
// command line writes them: \t \n \r \\ and \xHH.
QString VisibleText(const QString& text);

}  // namespace quillory::qt
