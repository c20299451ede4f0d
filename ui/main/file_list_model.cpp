#include "ui/main/file_list_model.h"

namespace quillory::ui {

FileListModel::FileListModel(QObject* parent) : QAbstractListModel(parent) {}

void FileListModel::Append(const QString& path) {
  Append(QStringList{path});
}

void FileListModel::Append(const QStringList& paths) {
  if (paths.isEmpty()) return;
  beginInsertRows(QModelIndex(), Count(), Count() + static_cast<int>(paths.size()) - 1);
  paths_.append(paths);
  endInsertRows();
}

void FileListModel::Swap(int first, int second) {
  if (first == second || first < 0 || second < 0 || first >= Count() || second >= Count()) return;
  paths_.swapItemsAt(first, second);
  emit dataChanged(index(first), index(first), {Qt::DisplayRole});
  emit dataChanged(index(second), index(second), {Qt::DisplayRole});
}

bool FileListModel::Remove(int row) {
  if (row < 0 || row >= Count()) return false;
  beginRemoveRows(QModelIndex(), row, row);
  paths_.removeAt(row);
  endRemoveRows();
  return true;
}

void FileListModel::Clear() {
  if (paths_.isEmpty()) return;
  beginResetModel();
  paths_.clear();
  endResetModel();
}

int FileListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : Count();
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
    return {};
  }
  if (role == Qt::DisplayRole) return paths_.at(index.row());
  return {};
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole) {
    return kFileListHeading;
  }
  return QAbstractListModel::headerData(section, orientation, role);
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

}  // namespace quillory::ui
