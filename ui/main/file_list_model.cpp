#include "ui/main/file_list_model.h"

#include "platform/qt/text.h"

namespace quillory::ui {

using workbook::WorkbookOutcome;

QString OutcomeText(WorkbookOutcome outcome) {
  switch (outcome) {
    case WorkbookOutcome::Converted:
      return QStringLiteral("Converted");
    case WorkbookOutcome::Failed:
      return QStringLiteral("Failed");
    case WorkbookOutcome::Cancelled:
      return QStringLiteral("Cancelled");
    case WorkbookOutcome::Skipped:
      return QStringLiteral("Skipped");
    case WorkbookOutcome::NotReached:
      break;
  }
  return QStringLiteral("Not reached");
}

FileListModel::FileListModel(QObject* parent) : QAbstractTableModel(parent) {}

void FileListModel::Append(const QString& path) {
  Append(QStringList{path});
}

void FileListModel::Append(const QStringList& paths) {
  if (paths.isEmpty()) return;
  beginInsertRows(QModelIndex(), Count(), Count() + static_cast<int>(paths.size()) - 1);
  paths_.append(paths);
  results_.resize(paths_.size());
  endInsertRows();
}

void FileListModel::Swap(int first, int second) {
  if (first == second || first < 0 || second < 0 || first >= Count() || second >= Count()) return;
  paths_.swapItemsAt(first, second);
  results_.swapItemsAt(first, second);
  for (int row : {first, second}) {
    emit dataChanged(index(row, kPathColumn), index(row, kResultColumn));
  }
}

bool FileListModel::Remove(int row) {
  if (row < 0 || row >= Count()) return false;
  const bool had_outcomes = HasOutcomes();
  beginRemoveRows(QModelIndex(), row, row);
  paths_.removeAt(row);
  results_.removeAt(row);
  endRemoveRows();
  ResultsChanged(had_outcomes);
  return true;
}

void FileListModel::Clear() {
  if (paths_.isEmpty()) return;
  const bool had_outcomes = HasOutcomes();
  beginResetModel();
  paths_.clear();
  results_.clear();
  endResetModel();
  ResultsChanged(had_outcomes);
}

void FileListModel::SetOutcomes(const std::vector<std::string>& paths,
                                const std::vector<workbook::WorkbookResult>& results) {
  const bool had_outcomes = HasOutcomes();
  for (int row = 0; row < Count(); ++row) {
    const auto at = static_cast<std::size_t>(row);
    Result& result = results_[row];
    if (at < paths.size() && at < results.size() && qt::ToUtf8(paths_[row]) == paths[at]) {
      result = {results[at].outcome, qt::ToQString(results[at].reason)};
    } else {
      result = {};
    }
  }
  if (Count() > 0) emit dataChanged(index(0, kPathColumn), index(Count() - 1, kResultColumn));
  ResultsChanged(had_outcomes);
}

void FileListModel::ClearOutcomes() {
  SetOutcomes({}, {});
}

std::optional<WorkbookOutcome> FileListModel::Outcome(int row) const {
  if (row < 0 || row >= Count()) return std::nullopt;
  return results_[row].outcome;
}

bool FileListModel::HasOutcomes() const {
  for (const Result& result : results_) {
    if (result.outcome) return true;
  }
  return false;
}

void FileListModel::ResultsChanged(bool had_outcomes) {
  const bool has_outcomes = HasOutcomes();
  if (has_outcomes != had_outcomes) emit OutcomesShownChanged(has_outcomes);
}

int FileListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : Count();
}

int FileListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
    return {};
  }
  const QString& path = paths_.at(index.row());
  const Result& result = results_.at(index.row());
  if (index.column() == kPathColumn) {
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return path;
    return {};
  }
  if (!result.outcome) return {};
  if (role == Qt::DisplayRole) return OutcomeText(*result.outcome);
  if (role == Qt::ToolTipRole) {
    return result.reason.isEmpty()
               ? OutcomeText(*result.outcome)
               : OutcomeText(*result.outcome) + QStringLiteral(": ") + result.reason;
  }
  return {};
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
    if (section == kPathColumn) return kFileListHeading;
    if (section == kResultColumn) return kResultHeading;
  }
  return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

}  // namespace quillory::ui
