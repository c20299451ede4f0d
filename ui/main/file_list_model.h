#pragma once

#include <QAbstractListModel>
#include <QStringList>

namespace quillory::ui {

inline const QString kFileListHeading = QStringLiteral("Excel File(s)");

// The workbooks the next run converts: full paths exactly as added, in order, duplicates allowed.
// Rows are 0-based.
class FileListModel final : public QAbstractListModel {
  Q_OBJECT

 public:
  explicit FileListModel(QObject* parent = nullptr);

  void Append(const QString& path);
  void Append(const QStringList& paths);
  // Exchanges the texts of two entries; the entries themselves keep their rows.
  void Swap(int first, int second);
  // False when there is no such row.
  bool Remove(int row);
  void Clear();

  int Count() const { return static_cast<int>(paths_.size()); }
  const QString& Text(int row) const { return paths_.at(row); }
  const QStringList& Paths() const { return paths_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  QStringList paths_;
};

}  // namespace quillory::ui
