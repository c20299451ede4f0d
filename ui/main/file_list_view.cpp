#include "ui/main/file_list_view.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

#include "ui/main/file_list_model.h"

namespace quillory::ui {

FileListView::FileListView(FileListModel* model, QWidget* parent)
    : QTreeView(parent), model_(model) {
  setModel(model);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  // The path fills the width; a long one loses its middle, so the file's name stays in view.
  setTextElideMode(Qt::ElideMiddle);
  setWordWrap(false);
  header()->setStretchLastSection(false);
  header()->setSectionResizeMode(FileListModel::kPathColumn, QHeaderView::Stretch);
  header()->setSectionResizeMode(FileListModel::kResultColumn, QHeaderView::ResizeToContents);
  setColumnHidden(FileListModel::kResultColumn, !model->HasOutcomes());
  connect(model, &FileListModel::OutcomesShownChanged, this,
          [this](bool shown) { setColumnHidden(FileListModel::kResultColumn, !shown); });
  setToolTip(kFileListTip);
  setDragEnabled(false);
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  setDropIndicatorShown(false);
}

QStringList FileListView::DroppedFiles(const QMimeData* mime) {
  QStringList paths;
  if (!mime || !mime->hasUrls()) return paths;
  for (const QUrl& url : mime->urls()) {
    if (url.isLocalFile()) paths.append(url.toLocalFile());
  }
  return paths;
}

void FileListView::mousePressEvent(QMouseEvent* event) {
  QTreeView::mousePressEvent(event);
  const QModelIndex pressed = indexAt(event->position().toPoint());
  if (pressed.isValid()) {
    // Taken at the press, so the drag that follows moves this entry rather than the one before.
    drag_source_ = currentIndex().isValid() ? currentIndex() : pressed;
    viewport()->setCursor(drag_pointer_);
  }
  dragging_ = true;
}

void FileListView::mouseMoveEvent(QMouseEvent* event) {
  emit PointerMoved();
  if (!dragging_) {
    QTreeView::mouseMoveEvent(event);
    return;
  }
  MoveDraggedEntry(event->position().toPoint());
}

void FileListView::MoveDraggedEntry(const QPoint& position) {
  const QModelIndex target = indexAt(position);
  if (!drag_source_.isValid() || !target.isValid()) return;
  const int source_row = drag_source_.row();
  const int target_row = target.row();
  if (model_->Text(source_row) == model_->Text(target_row)) return;

  model_->Swap(source_row, target_row);
  setCurrentIndex(target);
  drag_source_ = target;

  // Scroll one entry on when the pointer is near the top or bottom edge of the visible rows.
  const int edge = std::max(sizeHintForRow(0), fontMetrics().height());
  if (position.y() < edge && target_row > 0) {
    scrollTo(model_->index(target_row - 1));
  } else if (position.y() >= viewport()->height() - edge && target_row + 1 < model_->Count()) {
    scrollTo(model_->index(target_row + 1));
  }
}

void FileListView::mouseReleaseEvent(QMouseEvent* event) {
  dragging_ = false;
  viewport()->unsetCursor();
  QTreeView::mouseReleaseEvent(event);
}

void FileListView::mouseDoubleClickEvent(QMouseEvent* event) {
  event->accept();
  RemoveSelected();
}

void FileListView::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
    RemoveSelected();
    event->accept();
    return;
  }
  QTreeView::keyPressEvent(event);
}

void FileListView::RemoveSelected() {
  const QModelIndexList selected = selectionModel()->selectedRows();
  if (selected.isEmpty()) return;
  const int row = selected.front().row();
  model_->Remove(row);
  // The entry that took its place is selected, so Delete can go on removing.
  if (model_->Count() > 0) {
    setCurrentIndex(model_->index(std::min(row, model_->Count() - 1)));
    drag_source_ = QPersistentModelIndex();
  }
}

void FileListView::dragEnterEvent(QDragEnterEvent* event) {
  if (DroppedFiles(event->mimeData()).isEmpty()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
}

void FileListView::dragMoveEvent(QDragMoveEvent* event) {
  if (DroppedFiles(event->mimeData()).isEmpty()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
}

void FileListView::dropEvent(QDropEvent* event) {
  const QStringList paths = DroppedFiles(event->mimeData());
  if (paths.isEmpty()) {
    event->ignore();
    return;
  }
  QStringList files;
  QStringList folders;
  for (const QString& path : paths) (QFileInfo(path).isDir() ? folders : files).append(path);
  model_->Append(files);
  if (!folders.isEmpty()) emit FoldersDropped(folders);
  event->acceptProposedAction();
}

}  // namespace quillory::ui
