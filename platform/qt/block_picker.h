#pragma once

#include <QDialog>
#include <optional>
#include <vector>

#include "workbook/spreadsheet.h"

class QLabel;
class QPushButton;
class QTabWidget;
class QTableView;

namespace quillory::qt {

inline const QString kBlockPrompt = QStringLiteral("Highlight a block of cells with mouse");
// The tab of a sheet the workbook hides.
inline const QString kHiddenSheet = QStringLiteral("%1 (hidden)");

// Shows the opened workbook's worksheets, a tab each (hidden ones marked), as grids of displayed
// texts, opening on the active sheet; the user selects a block with the mouse. Titled with the
// workbook's name. OK gives the block, Cancel nothing.
class BlockPickerDialog final : public QDialog {
  Q_OBJECT

 public:
  BlockPickerDialog(workbook::Workbook& workbook, QWidget* parent = nullptr);

  // The block selected on the current tab; nothing when no cell is selected.
  std::optional<workbook::Block> SelectedBlock() const;

  // Selects a block on the sheet at `sheet` (0-based) and shows its tab.
  void Select(int sheet, const workbook::Block& block);

 private:
  void UpdateOkButton();

  std::vector<workbook::Worksheet*> sheets_;
  QTabWidget* tabs_ = nullptr;
  std::vector<QTableView*> grids_;
  QPushButton* ok_ = nullptr;
  QLabel* selected_ = nullptr;  // the chosen block as a reference, "Prices!A1:B2"
};

// "A", "B", ... "Z", "AA", ...
QString ColumnName(std::int32_t column);

}  // namespace quillory::qt
