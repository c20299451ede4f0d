#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>
#include <optional>
#include <string>
#include <vector>

#include "workbook/conversion_run.h"

namespace quillory::ui {

inline const QString kFileListHeading = QStringLiteral("Excel File(s)");
inline const QString kResultHeading = QStringLiteral("Result");

// The workbooks the next run converts: full paths exactly as added, in order, duplicates allowed,
// and what the last run made of each. Rows are 0-based; column 0 is the path, column 1 the
// outcome.
class FileListModel final : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { kPathColumn, kResultColumn, kColumnCount };

  explicit FileListModel(QObject* parent = nullptr);

  void Append(const QString& path);
  void Append(const QStringList& paths);
  // Exchanges two entries (path and outcome); the rows stay where they are.
  void Swap(int first, int second);
  // False when there is no such row.
  bool Remove(int row);
  void Clear();

  int Count() const { return static_cast<int>(paths_.size()); }
  const QString& Text(int row) const { return paths_.at(row); }
  const QStringList& Paths() const { return paths_; }

  // The outcomes of a run over `paths`: each row that still holds the path the run had at its
  // place takes that workbook's outcome. Every other row shows none.
  void SetOutcomes(const std::vector<std::string>& paths,
                   const std::vector<workbook::WorkbookResult>& results);
  void ClearOutcomes();
  std::optional<workbook::WorkbookOutcome> Outcome(int row) const;
  bool HasOutcomes() const;

  using QAbstractTableModel::index;
  QModelIndex index(int row) const { return index(row, kPathColumn); }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 signals:
  // Outcomes appeared or went.
  void OutcomesShownChanged(bool shown);

 private:
  struct Result {
    std::optional<workbook::WorkbookOutcome> outcome;
    QString reason;
  };
  void ResultsChanged(bool had_outcomes);

  QStringList paths_;
  QList<Result> results_;  // one per path
};

// "Converted", "Failed", "Cancelled", "Skipped", "Not reached".
QString OutcomeText(workbook::WorkbookOutcome outcome);

}  // namespace quillory::ui
