#include "platform/qt/block_picker.h"

#include <QAbstractTableModel>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <unordered_map>

#include "workbook/cell_walks.h"
#include "workbook/sheet_geometry.h"

namespace quillory::qt {
namespace {

// A sheet's displayed texts as a table; only the non-empty cells are held.
class SheetModel final : public QAbstractTableModel {
 public:
  explicit SheetModel(const workbook::Worksheet& sheet, QObject* parent)
      : QAbstractTableModel(parent),
        rows_(std::max<std::int32_t>(1, sheet.LastRow())),
        columns_(std::max<std::int32_t>(1, sheet.LastColumn())) {
    for (const workbook::CellText& cell : sheet.NonEmptyCells(1, 1, rows_, columns_)) {
      texts_.emplace(Key(cell.row - 1, cell.column - 1), QString::fromStdString(cell.text));
    }
  }

  int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : rows_; }
  int columnCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : columns_;
  }

  QVariant data(const QModelIndex& index, int role) const override {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    auto it = texts_.find(Key(index.row(), index.column()));
    return it == texts_.end() ? QVariant() : QVariant(it->second);
  }

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (role != Qt::DisplayRole) return {};
    return orientation == Qt::Horizontal ? ColumnName(section + 1) : QString::number(section + 1);
  }

 private:
  static std::uint64_t Key(int row, int column) {
    return (static_cast<std::uint64_t>(row) << 32) | static_cast<std::uint32_t>(column);
  }

  int rows_;
  int columns_;
  std::unordered_map<std::uint64_t, QString> texts_;
};

}  // namespace

QString ColumnName(std::int32_t column) {
  return QString::fromStdString(workbook::ColumnName(column));
}

BlockPickerDialog::BlockPickerDialog(workbook::Workbook& workbook, QWidget* parent)
    : QDialog(parent), sheets_(workbook.Worksheets()) {
  setWindowTitle(QStringLiteral("%1 - Quillory")
                     .arg(QFileInfo(QString::fromStdString(workbook.Path())).fileName()));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(kBlockPrompt, this));

  tabs_ = new QTabWidget(this);
  for (workbook::Worksheet* sheet : sheets_) {
    auto* grid = new QTableView(tabs_);
    grid->setModel(new SheetModel(*sheet, grid));
    grid->setSelectionMode(QAbstractItemView::ContiguousSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->horizontalHeader()->setDefaultSectionSize(90);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    connect(grid->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &BlockPickerDialog::UpdateOkButton);
    const QString name = QString::fromStdString(sheet->Name());
    const int tab = tabs_->addTab(grid, sheet->Hidden() ? kHiddenSheet.arg(name) : name);
    if (sheet->Hidden()) {
      tabs_->setTabToolTip(tab, QStringLiteral("The workbook keeps this sheet hidden."));
    }
    grids_.push_back(grid);
  }
  // Opens where the workbook would: on its active sheet, when that is a worksheet.
  try {
    const workbook::Worksheet* active = &workbook.ActiveSheet();
    for (std::size_t i = 0; i < sheets_.size(); ++i) {
      if (sheets_[i] == active) tabs_->setCurrentIndex(static_cast<int>(i));
    }
  } catch (const workbook::WorkbookError&) {
    // A chart sheet or the like is active: the first worksheet is shown.
  }
  connect(tabs_, &QTabWidget::currentChanged, this, &BlockPickerDialog::UpdateOkButton);
  layout->addWidget(tabs_);

  selected_ = new QLabel(this);
  selected_->setObjectName(QStringLiteral("SelectedBlock"));
  layout->addWidget(selected_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  UpdateOkButton();
  resize(720, 480);
}

std::optional<workbook::Block> BlockPickerDialog::SelectedBlock() const {
  const int tab = tabs_->currentIndex();
  if (tab < 0 || tab >= static_cast<int>(grids_.size())) return std::nullopt;
  const QItemSelection selection =
      grids_[static_cast<std::size_t>(tab)]->selectionModel()->selection();
  if (selection.isEmpty()) return std::nullopt;
  // A contiguous selection may still come as several ranges; their bounding rectangle is the block.
  workbook::Block block;
  block.sheet = sheets_[static_cast<std::size_t>(tab)];
  block.first_row = selection.front().top() + 1;
  block.first_column = selection.front().left() + 1;
  block.last_row = selection.front().bottom() + 1;
  block.last_column = selection.front().right() + 1;
  for (const QItemSelectionRange& range : selection) {
    block.first_row = std::min(block.first_row, range.top() + 1);
    block.first_column = std::min(block.first_column, range.left() + 1);
    block.last_row = std::max(block.last_row, range.bottom() + 1);
    block.last_column = std::max(block.last_column, range.right() + 1);
  }
  return block;
}

void BlockPickerDialog::Select(int sheet, const workbook::Block& block) {
  if (sheet < 0 || sheet >= static_cast<int>(grids_.size())) return;
  tabs_->setCurrentIndex(sheet);
  QTableView* grid = grids_[static_cast<std::size_t>(sheet)];
  QAbstractItemModel* model = grid->model();
  const QItemSelection selection(model->index(block.first_row - 1, block.first_column - 1),
                                 model->index(block.last_row - 1, block.last_column - 1));
  grid->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void BlockPickerDialog::UpdateOkButton() {
  const std::optional<workbook::Block> block = SelectedBlock();
  ok_->setEnabled(block.has_value());
  if (!block) {
    selected_->clear();
    return;
  }
  selected_->setText(QStringLiteral("%1!%2%3:%4%5")
                         .arg(QString::fromStdString(block->sheet->Name()))
                         .arg(ColumnName(block->first_column))
                         .arg(block->first_row)
                         .arg(ColumnName(block->last_column))
                         .arg(block->last_row));
}

}  // namespace quillory::qt
