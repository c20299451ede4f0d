#include <QAbstractItemModelTester>
#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QMimeData>
#include <QScrollBar>
#include <QTest>
#include <QUrl>

#include "ui/main/file_list_model.h"
#include "ui/main/file_list_view.h"

using quillory::ui::FileListModel;
using quillory::ui::FileListView;

namespace {

void SendMouse(QWidget* widget, QEvent::Type type, QPoint position,
               Qt::MouseButtons held = Qt::LeftButton) {
  const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  if (type == QEvent::MouseButtonRelease) held = Qt::NoButton;
  QMouseEvent event(type, QPointF(position), widget->mapToGlobal(QPointF(position)), button, held,
                    Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

QMimeData* FilesMime(const QStringList& paths) {
  auto* mime = new QMimeData;
  QList<QUrl> urls;
  for (const QString& path : paths) urls.append(QUrl::fromLocalFile(path));
  mime->setUrls(urls);
  return mime;
}

}  // namespace

class FileListTest : public QObject {
  Q_OBJECT

 private:
  FileListModel* model_ = nullptr;
  FileListView* view_ = nullptr;

  QPoint RowCentre(int row) const { return view_->visualRect(model_->index(row)).center(); }
  QWidget* viewport() const { return view_->viewport(); }
  void Fill(const QStringList& paths) {
    model_->Clear();
    model_->Append(paths);
  }
  int SelectedRow() const {
    const QModelIndexList rows = view_->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
  }
  // Sends a drag of `mime` over the list and drops it; true when the list accepted it.
  bool Drop(QMimeData* mime) {
    const QPoint at = QPoint(10, 10);
    QDragEnterEvent enter(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport(), &enter);
    const bool accepted = enter.isAccepted();
    if (accepted) {
      QDropEvent drop(QPointF(at), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(viewport(), &drop);
    }
    delete mime;
    return accepted;
  }

 private slots:
  void init() {
    model_ = new FileListModel;
    view_ = new FileListView(model_);
    view_->resize(420, 200);
    view_->show();
    QVERIFY(QTest::qWaitForWindowExposed(view_));
  }

  void cleanup() {
    delete view_;
    delete model_;
  }

  void modelKeepsOrderAndDuplicates() {
    QAbstractItemModelTester tester(model_, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model_->Append(QStringLiteral("/d/a.xls"));
    model_->Append(
        {QStringLiteral("/d/b.xls"), QStringLiteral("/d/a.xls"), QStringLiteral("/d/c.xls")});
    QCOMPARE(model_->Paths(), QStringList({"/d/a.xls", "/d/b.xls", "/d/a.xls", "/d/c.xls"}));
    model_->Swap(0, 3);
    QCOMPARE(model_->Paths(), QStringList({"/d/c.xls", "/d/b.xls", "/d/a.xls", "/d/a.xls"}));
    QVERIFY(model_->Remove(1));
    QVERIFY(!model_->Remove(3));
    QVERIFY(!model_->Remove(-1));
    QCOMPARE(model_->Paths(), QStringList({"/d/c.xls", "/d/a.xls", "/d/a.xls"}));
    model_->Clear();
    QCOMPARE(model_->Count(), 0);
    QCOMPARE(model_->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
             QStringLiteral("Excel File(s)"));
  }

  void pathsFillTheListAndEachShowsItselfWhole() {
    model_->Append(QStringLiteral("/home/user/Documents/Accounts/2026/a rather long name.xlsx"));
    QCOMPARE(view_->header()->sectionResizeMode(0), QHeaderView::Stretch);
    QVERIFY(view_->isColumnHidden(FileListModel::kResultColumn));  // no run yet
    QCOMPARE(view_->columnWidth(0), view_->viewport()->width());
    QCOMPARE(view_->textElideMode(), Qt::ElideMiddle);  // the file's name stays in view
    QCOMPARE(model_->index(0).data(Qt::ToolTipRole).toString(),
             QStringLiteral("/home/user/Documents/Accounts/2026/a rather long name.xlsx"));
    QVERIFY(view_->toolTip().startsWith(QStringLiteral("Drag and drop files or folders here.")));
  }

  void outcomesOfARunFollowTheirEntries() {
    using quillory::workbook::WorkbookOutcome;
    QAbstractItemModelTester tester(model_, QAbstractItemModelTester::FailureReportingMode::QtTest);
    Fill({"/d/a.xls", "/d/b.xls", "/d/c.xls", "/d/d.xls"});
    model_->SetOutcomes({"/d/a.xls", "/d/b.xls", "/d/c.xls", "/d/other.xls"},
                        {{WorkbookOutcome::Converted, ""},
                         {WorkbookOutcome::Failed, "the disk is full"},
                         {WorkbookOutcome::NotReached, ""},
                         {WorkbookOutcome::Converted, ""}});
    const auto result = [this](int row, int role = Qt::DisplayRole) {
      return model_->index(row, FileListModel::kResultColumn).data(role).toString();
    };
    QVERIFY(!view_->isColumnHidden(FileListModel::kResultColumn));
    QCOMPARE(result(0), QStringLiteral("Converted"));
    QCOMPARE(result(1), QStringLiteral("Failed"));
    QCOMPARE(result(1, Qt::ToolTipRole), QStringLiteral("Failed: the disk is full"));
    QCOMPARE(result(2), QStringLiteral("Not reached"));
    QCOMPARE(result(3), QString());  // another path stands there now
    QCOMPARE(model_->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
             QStringLiteral("Result"));

    model_->Swap(0, 1);  // an outcome travels with its entry
    QCOMPARE(result(0), QStringLiteral("Failed"));
    model_->Append(QStringLiteral("/d/new.xls"));
    QCOMPARE(result(4), QString());
    model_->ClearOutcomes();
    QCOMPARE(result(0), QString());
    QVERIFY(view_->isColumnHidden(FileListModel::kResultColumn));
  }

  void deleteRemovesTheSelectedEntryAndSelectsTheNext() {
    Fill({"A", "B", "C"});
    view_->setCurrentIndex(model_->index(1));
    QTest::keyClick(view_, Qt::Key_Delete);
    QCOMPARE(model_->Paths(), QStringList({"A", "C"}));
    QCOMPARE(SelectedRow(), 1);
    QTest::keyClick(view_, Qt::Key_Delete);
    QTest::keyClick(view_, Qt::Key_Delete);
    QCOMPARE(model_->Count(), 0);
    QTest::keyClick(view_, Qt::Key_Delete);  // nothing left: nothing happens
  }

  void reorder_data() {
    QTest::addColumn<QList<int>>("rows");  // the rows the pointer visits after pressing on A
    QTest::addColumn<QStringList>("order");
    QTest::newRow("one row down") << QList<int>{1} << QStringList{"B", "A", "C", "D"};
    QTest::newRow("two rows down") << QList<int>{1, 2} << QStringList{"B", "C", "A", "D"};
    QTest::newRow("three rows down") << QList<int>{1, 2, 3} << QStringList{"B", "C", "D", "A"};
    QTest::newRow("jump from A onto D") << QList<int>{3} << QStringList{"D", "B", "C", "A"};
    QTest::newRow("down and back") << QList<int>{1, 2, 1, 0} << QStringList{"A", "B", "C", "D"};
  }

  void reorder() {
    QFETCH(QList<int>, rows);
    QFETCH(QStringList, order);
    Fill({"A", "B", "C", "D"});
    SendMouse(viewport(), QEvent::MouseButtonPress, RowCentre(0));
    for (int row : rows) {
      SendMouse(viewport(), QEvent::MouseMove, RowCentre(row));
      QCOMPARE(SelectedRow(), row);  // the moving entry stays selected
      QCOMPARE(model_->Text(row), QStringLiteral("A"));
    }
    SendMouse(viewport(), QEvent::MouseButtonRelease, RowCentre(rows.back()));
    QCOMPARE(model_->Paths(), order);
    QVERIFY(!view_->dragging());
  }

  void dragOntoSamePathChangesNothing() {
    Fill({"A", "A", "B"});
    SendMouse(viewport(), QEvent::MouseButtonPress, RowCentre(0));
    SendMouse(viewport(), QEvent::MouseMove, RowCentre(1));
    QCOMPARE(model_->Paths(), QStringList({"A", "A", "B"}));
    // The source is still the first entry, so it trades places with B.
    SendMouse(viewport(), QEvent::MouseMove, RowCentre(2));
    QCOMPARE(model_->Paths(), QStringList({"B", "A", "A"}));
    SendMouse(viewport(), QEvent::MouseButtonRelease, RowCentre(2));
  }

  void noDragSourceAfterClear() {
    Fill({"A", "B"});
    SendMouse(viewport(), QEvent::MouseButtonPress, RowCentre(0));
    SendMouse(viewport(), QEvent::MouseButtonRelease, RowCentre(0));
    model_->Clear();
    model_->Append({"C", "D"});
    QCOMPARE(view_->DragSourceRow(), -1);
    // Pressed below the entries: nothing was clicked, so nothing moves.
    const QPoint empty(20, viewport()->height() - 5);
    SendMouse(viewport(), QEvent::MouseButtonPress, empty);
    SendMouse(viewport(), QEvent::MouseMove, RowCentre(0));
    SendMouse(viewport(), QEvent::MouseMove, RowCentre(1));
    SendMouse(viewport(), QEvent::MouseButtonRelease, RowCentre(1));
    QCOMPARE(model_->Paths(), QStringList({"C", "D"}));
  }

  void autoScrollFollowsPointerInViewport() {
    QStringList many;
    for (int i = 0; i < 40; ++i)
      many.append(QStringLiteral("/data/book%1.xls").arg(i, 2, 10, QLatin1Char('0')));
    Fill(many);
    view_->scrollToTop();
    QScrollBar* bar = view_->verticalScrollBar();
    QCOMPARE(bar->value(), 0);
    const int last_visible = view_->indexAt(QPoint(5, viewport()->height() - 2)).row();
    QVERIFY(last_visible > 2);

    // In the middle of the visible rows nothing scrolls.
    SendMouse(viewport(), QEvent::MouseButtonPress, RowCentre(0));
    SendMouse(viewport(), QEvent::MouseMove, RowCentre(1));
    QCOMPARE(bar->value(), 0);
    // Near the bottom edge the entry below comes into view.
    SendMouse(viewport(), QEvent::MouseMove, QPoint(5, viewport()->height() - 2));
    QCOMPARE(model_->Text(last_visible), many.at(0));
    QVERIFY(bar->value() > 0);
    QVERIFY(
        viewport()->rect().contains(view_->visualRect(model_->index(last_visible + 1)).center()));
    SendMouse(viewport(), QEvent::MouseButtonRelease, QPoint(5, 5));
  }

  void dropAppendsFilesAndHandsFoldersOnToBeScanned() {
    Fill({"A"});
    QStringList scanned;
    connect(view_, &FileListView::FoldersDropped, this,
            [&](const QStringList& folders) { scanned += folders; });
    const QString folder = QDir::tempPath();
    QVERIFY(Drop(FilesMime({"/data/one.xls", folder, "/data/notes.txt"})));
    QCOMPARE(model_->Paths(), QStringList({"A", "/data/one.xls", "/data/notes.txt"}));
    QCOMPARE(scanned, QStringList{folder});
  }

  void dropOfTextIsRefused() {
    auto* text = new QMimeData;
    text->setText(QStringLiteral("/data/one.xls"));
    QVERIFY(!Drop(text));
    auto* web = new QMimeData;
    web->setUrls({QUrl(QStringLiteral("https://example.com/book.xls"))});
    QVERIFY(!Drop(web));
    QCOMPARE(model_->Count(), 0);
  }

  void dropsStillWorkAfterAnEntryWasClicked() {
    Fill({"A", "B"});
    SendMouse(viewport(), QEvent::MouseButtonPress, RowCentre(1));
    SendMouse(viewport(), QEvent::MouseButtonRelease, RowCentre(1));
    QVERIFY(Drop(FilesMime({"/data/two.xls"})));
    QCOMPARE(model_->Paths(), QStringList({"A", "B", "/data/two.xls"}));
  }

  void doubleClickRemovesSelectedEntry() {
    SendMouse(viewport(), QEvent::MouseButtonDblClick, QPoint(10, 10));  // empty list: nothing
    QCOMPARE(model_->Count(), 0);

    Fill({"A", "B", "C"});
    const QPoint b = RowCentre(1);
    SendMouse(viewport(), QEvent::MouseButtonPress, b);
    SendMouse(viewport(), QEvent::MouseButtonRelease, b);
    SendMouse(viewport(), QEvent::MouseButtonDblClick, b);
    SendMouse(viewport(), QEvent::MouseButtonRelease, b);
    QCOMPARE(model_->Paths(), QStringList({"A", "C"}));
    QCOMPARE(view_->DragSourceRow(), -1);  // the removed entry no longer moves
  }
};

QTEST_MAIN(FileListTest)
#include "file_list_test.moc"
