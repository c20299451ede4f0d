#include "ui/main/file_list_view.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

#include "ui/main/file_list_model.h"

namespace quillory::ui {
namespace {

constexpr int kColumnTwips = 5300;

}  // namespace

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
  // Long paths are cut at the column's edge; widening the column scrolls the list sideways.
  setTextElideMode(Qt::ElideNone);
  setWordWrap(false);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  header()->setStretchLastSection(false);
  header()->setSectionResizeMode(QHeaderView::Interactive);
  header()->resizeSection(0, kColumnTwips * logicalDpiX() / 1440);
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
  const QModelIndexList selected = selectionModel()->selectedRows();
  if (selected.isEmpty()) return;
  model_->Remove(selected.front().row());
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
  model_->Append(paths);
  event->acceptProposedAction();
}

}  // namespace quillory::ui
