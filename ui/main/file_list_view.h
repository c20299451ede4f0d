#pragma once

#include <QCursor>
#include <QPersistentModelIndex>
#include <QTreeView>

namespace quillory::ui {

class FileListModel;

inline const QString kFileListTip = QStringLiteral(
    "Drag and drop files or folders here. Double-click an entry or press Delete to remove it; drag "
    "it up or down to move it.");

// The file list as a report: the paths, filling the list's width (each entry's tooltip is its full
// path), and after a run each entry's outcome. Files dropped from the desktop are appended and
// dropped folders handed on to be scanned; a double-click or Delete removes the selected entry,
// and an entry dragged with the mouse travels by swapping places with the entry under the pointer.
class FileListView final : public QTreeView {
  Q_OBJECT

 public:
  FileListView(FileListModel* model, QWidget* parent = nullptr);

  void SetDragPointer(const QCursor& pointer) { drag_pointer_ = pointer; }
  // The size the window's design gives the list, which it asks for.
  void SetDesignSize(QSize size) { design_size_ = size; }
  QSize sizeHint() const override {
    return design_size_.isValid() ? design_size_ : QTreeView::sizeHint();
  }
  bool dragging() const { return dragging_; }
  // The entry a drag moves: the one pressed last, while it is still listed.
  int DragSourceRow() const { return drag_source_.isValid() ? drag_source_.row() : -1; }

  // The paths of file URLs among `mime`'s data; empty when it carries no local files.
  static QStringList DroppedFiles(const class QMimeData* mime);

 signals:
  // The pointer moved over the list.
  void PointerMoved();
  // Folders were dropped on the list, to be scanned for workbooks.
  void FoldersDropped(const QStringList& folders);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void MoveDraggedEntry(const QPoint& position);
  void RemoveSelected();

  FileListModel* model_;
  QCursor drag_pointer_{Qt::ClosedHandCursor};
  QSize design_size_;
  bool dragging_ = false;
  QPersistentModelIndex drag_source_;
};

}  // namespace quillory::ui
