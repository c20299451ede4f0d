#pragma once

#include <QCursor>
#include <QPersistentModelIndex>
#include <QTreeView>

namespace quillory::ui {

class FileListModel;

inline const QString kFileListTip = QStringLiteral(
    "Drag and drop files here. Double-click item to remove it. Move bar to right and out of window "
    "to reveal full names.");

// The file list as a one-column report. Files dropped from the desktop are appended, a
// double-click removes the selected entry, and an entry dragged with the mouse travels by swapping
// places with the entry under the pointer.
class FileListView final : public QTreeView {
  Q_OBJECT

 public:
  FileListView(FileListModel* model, QWidget* parent = nullptr);

  void SetDragPointer(const QCursor& pointer) { drag_pointer_ = pointer; }
  bool dragging() const { return dragging_; }
  // The entry a drag moves: the one pressed last, while it is still listed.
  int DragSourceRow() const { return drag_source_.isValid() ? drag_source_.row() : -1; }

  // The paths of file URLs among `mime`'s data; empty when it carries no local files.
  static QStringList DroppedFiles(const class QMimeData* mime);

 signals:
  // The pointer moved over the list.
  void PointerMoved();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void MoveDraggedEntry(const QPoint& position);

  FileListModel* model_;
  QCursor drag_pointer_{Qt::ClosedHandCursor};
  bool dragging_ = false;
  QPersistentModelIndex drag_source_;
};

}  // namespace quillory::ui
