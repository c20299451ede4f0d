#include "platform/qt/run_report_window.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QShortcut>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

#include "platform/qt/dialogs.h"
#include "platform/qt/text.h"
#include "workbook/sheet_geometry.h"
#include "workbook/text_escape.h"

namespace quillory::qt {
namespace {

enum Column { kWorkbook, kSheet, kCell, kText, kReason, kColumnCount };

const QStringList kHeadings = {QStringLiteral("Workbook"), QStringLiteral("Sheet"),
                               QStringLiteral("Cell"), QStringLiteral("Text"),
                               QStringLiteral("Reason")};

constexpr int kSortRole = Qt::UserRole;
constexpr int kRowRole = Qt::UserRole + 1;

// "B7" as a number that sorts by row, then column.
qint64 CellOrder(const std::string& cell) {
  const auto ref = workbook::ParseCellRef(cell);
  return ref ? qint64{ref->row} * 20000 + ref->column : 0;
}

class CellsLeftModel final : public QAbstractTableModel {
 public:
  CellsLeftModel(const std::vector<workbook::CellMessage>& cells, QObject* parent)
      : QAbstractTableModel(parent), cells_(cells) {}

  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(cells_.size());
  }
  int columnCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : kColumnCount;
  }

  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid()) return {};
    const workbook::CellMessage& cell = cells_[static_cast<std::size_t>(index.row())];
    switch (role) {
      case Qt::DisplayRole:
        switch (index.column()) {
          case kWorkbook:
            return QFileInfo(ToQString(cell.workbook)).fileName();
          case kSheet:
            return ToQString(cell.sheet);
          case kCell:
            return ToQString(cell.cell);
          case kText:
            return VisibleText(ToQString(cell.text));
          case kReason:
            return ToQString(cell.reason.empty() ? cell.message : cell.reason);
        }
        return {};
      case Qt::ToolTipRole:
        if (index.column() == kWorkbook) return ToQString(cell.workbook);
        if (index.column() == kReason || index.column() == kText) {
          return ToQString(cell.message);
        }
        return {};
      case kSortRole:
        if (index.column() == kWorkbook) return ToQString(cell.workbook);
        if (index.column() == kCell) return CellOrder(cell.cell);
        return data(index, Qt::DisplayRole);
      case kRowRole:
        return index.row();
      default:
        return {};
    }
  }

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < kColumnCount) {
      return kHeadings[section];
    }
    return QAbstractTableModel::headerData(section, orientation, role);
  }

 private:
  const std::vector<workbook::CellMessage>& cells_;
};

// A field as a spreadsheet reads it back: a text that would start a formula (=, +, -, @, a tab
// or a carriage return first) is kept a text by a leading apostrophe, so a hostile cell cannot
// become a formula in whatever opens the file.
QString CsvField(QString text) {
  static const QString kFormulaStarts = QStringLiteral("=+-@\t\r");
  if (!text.isEmpty() && kFormulaStarts.contains(text.front())) text.prepend(QLatin1Char('\''));
  if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
      !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'))) {
    return text;
  }
  QString quoted = text;
  quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
  return QLatin1Char('"') + quoted + QLatin1Char('"');
}

}  // namespace

QString VisibleText(const QString& text) {
  return ToQString(workbook::EscapeText(ToUtf8(text)));
}

QString ReportCounts(const workbook::RunReport& report) {
  using workbook::WorkbookOutcome;
  const QLocale locale;
  QStringList lines = {
      QStringLiteral("Workbooks converted: %1")
          .arg(locale.toString(report.Count(WorkbookOutcome::Converted))),
      QStringLiteral("Workbooks failed: %1")
          .arg(locale.toString(report.Count(WorkbookOutcome::Failed))),
      QStringLiteral("Workbooks cancelled: %1")
          .arg(locale.toString(report.Count(WorkbookOutcome::Cancelled))),
      QStringLiteral("Workbooks skipped: %1")
          .arg(locale.toString(report.Count(WorkbookOutcome::Skipped))),
  };
  if (const int not_reached = report.Count(WorkbookOutcome::NotReached); not_reached > 0) {
    lines.append(QStringLiteral("Workbooks not reached: %1").arg(locale.toString(not_reached)));
  }
  lines.append(QStringLiteral("Cells converted: %1")
                   .arg(locale.toString(static_cast<qlonglong>(report.cells_converted))));
  lines.append(QStringLiteral("Cells left as they were: %1")
                   .arg(locale.toString(static_cast<qlonglong>(report.CellsLeft()))));
  return lines.join(u'\n');
}

QByteArray CellsLeftCsv(const std::vector<const workbook::CellMessage*>& cells) {
  QString csv = kHeadings.join(u',') + QStringLiteral("\r\n");
  for (const workbook::CellMessage* cell : cells) {
    const QStringList fields = {ToQString(cell->workbook), ToQString(cell->sheet),
                                ToQString(cell->cell), ToQString(cell->text),
                                ToQString(cell->reason.empty() ? cell->message : cell->reason)};
    QStringList quoted;
    for (const QString& field : fields) quoted.append(CsvField(field));
    csv += quoted.join(u',') + QStringLiteral("\r\n");
  }
  return csv.toUtf8();
}

RunReportWindow::RunReportWindow(const workbook::RunReport& report, Dialogs& dialogs,
                                 QWidget* parent)
    : QDialog(parent), dialogs_(dialogs), cells_(report.messages) {
  setObjectName(QStringLiteral("RunReport"));
  setWindowTitle(QStringLiteral("Quillory"));
  setSizeGripEnabled(true);

  auto* summary = new QLabel(ToQString(report.summary), this);
  summary->setObjectName(QStringLiteral("Summary"));
  summary->setWordWrap(true);
  summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
  QFont heading = summary->font();
  heading.setBold(true);
  summary->setFont(heading);

  auto* counts = new QLabel(ReportCounts(report), this);
  counts->setObjectName(QStringLiteral("Counts"));
  counts->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* model = new CellsLeftModel(cells_, this);
  sorted_ = new QSortFilterProxyModel(this);
  sorted_->setSourceModel(model);
  sorted_->setSortRole(kSortRole);
  sorted_->setSortCaseSensitivity(Qt::CaseInsensitive);
  table_ = new QTableView(this);
  table_->setObjectName(QStringLiteral("CellsLeft"));
  table_->setModel(sorted_);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setWordWrap(false);
  table_->setAlternatingRowColors(true);
  // Fixed row heights and column widths: nothing is measured row by row, so ten thousand rows
  // open, scroll and sort at once.
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  table_->horizontalHeader()->setStretchLastSection(true);
  const int em = table_->fontMetrics().horizontalAdvance(QLatin1Char('M'));
  for (const auto& [column, width] :
       {std::pair{kWorkbook, 14}, {kSheet, 8}, {kCell, 5}, {kText, 14}}) {
    table_->setColumnWidth(column, width * em);
  }
  // In the order the cells were met until a heading is clicked.
  table_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  table_->setSortingEnabled(true);
  table_->setEnabled(!cells_.empty());

  auto* cells_label = new QLabel(QStringLiteral("Cells &left as they were:"), this);
  cells_label->setBuddy(table_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(summary);
  layout->addWidget(counts);
  layout->addWidget(cells_label);
  layout->addWidget(table_, 1);
  if (report.messages_left_out > 0) {
    auto* more =
        new QLabel(QStringLiteral("%1 more cells left as they were are counted but not listed.")
                       .arg(QLocale().toString(static_cast<qlonglong>(report.messages_left_out))),
                   this);
    more->setObjectName(QStringLiteral("NotListed"));
    layout->addWidget(more);
  }

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  QPushButton* copy = buttons->addButton(QStringLiteral("&Copy"), QDialogButtonBox::ActionRole);
  copy->setObjectName(QStringLiteral("Copy"));
  QPushButton* save =
      buttons->addButton(QStringLiteral("Save as C&SV..."), QDialogButtonBox::ActionRole);
  save->setObjectName(QStringLiteral("SaveCsv"));
  copy->setEnabled(!cells_.empty());
  save->setEnabled(!cells_.empty());
  buttons->button(QDialogButtonBox::Close)->setDefault(true);
  connect(copy, &QPushButton::clicked, this, &RunReportWindow::Copy);
  connect(save, &QPushButton::clicked, this, &RunReportWindow::SaveAsCsv);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  auto* copy_keys = new QShortcut(QKeySequence::Copy, table_);
  copy_keys->setContext(Qt::WidgetShortcut);
  connect(copy_keys, &QShortcut::activated, this, &RunReportWindow::Copy);

  QSize size(76 * em, cells_.empty() ? 14 * em : 36 * em);
  if (const QScreen* screen = this->screen()) {
    size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
  }
  resize(size.expandedTo(minimumSizeHint()));
}

QString RunReportWindow::CopiedText() const {
  QList<int> rows;
  for (const QModelIndex& index : table_->selectionModel()->selectedRows()) {
    rows.append(index.row());
  }
  std::sort(rows.begin(), rows.end());
  if (rows.isEmpty()) {
    for (int row = 0; row < sorted_->rowCount(); ++row) rows.append(row);
  }
  QStringList lines = {kHeadings.join(u'\t')};
  for (int row : rows) {
    QStringList fields;
    for (int column = 0; column < kColumnCount; ++column) {
      const QModelIndex index = sorted_->index(row, column);
      // The whole path, not only the name the table shows.
      fields.append(column == kWorkbook ? index.data(Qt::ToolTipRole).toString()
                                        : index.data().toString());
    }
    lines.append(fields.join(u'\t'));
  }
  return lines.join(u'\n') + u'\n';
}

void RunReportWindow::Copy() {
  QApplication::clipboard()->setText(CopiedText());
}

void RunReportWindow::SaveAsCsv() {
  const QString path = dialogs_.SaveFile(this, QStringLiteral("Save Cells Left as CSV"),
                                         QStringLiteral("CSV Files (*.csv)"),
                                         QStringLiteral("Cells left as they were.csv"));
  if (path.isEmpty()) return;
  std::vector<const workbook::CellMessage*> rows;
  rows.reserve(cells_.size());
  for (int row = 0; row < sorted_->rowCount(); ++row) {
    rows.push_back(
        &cells_[static_cast<std::size_t>(sorted_->index(row, 0).data(kRowRole).toInt())]);
  }
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(CellsLeftCsv(rows)) < 0 || !file.commit()) {
    dialogs_.Message(
        this,
        QStringLiteral("The cells could not be saved to %1: %2").arg(path, file.errorString()));
  }
}

}  // namespace quillory::qt
