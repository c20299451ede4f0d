#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "platform/qt/dialogs.h"
#include "platform/qt/run_report_window.h"
#include "workbook/conversion_run.h"

using quillory::qt::Dialogs;
using quillory::qt::RunReportWindow;
using quillory::workbook::CellMessage;
using quillory::workbook::RunOutcome;
using quillory::workbook::RunReport;
using quillory::workbook::WorkbookOutcome;

namespace {

CellMessage Cell(const std::string& workbook, const std::string& sheet, const std::string& cell,
                 const std::string& text, const std::string& reason) {
  return {workbook, sheet, cell, text + " " + reason, text, reason};
}

RunReport SmallReport() {
  RunReport report;
  report.outcome = RunOutcome::Done;
  report.summary = "Done.";
  report.workbooks = {{WorkbookOutcome::Converted, ""},
                      {WorkbookOutcome::Converted, ""},
                      {WorkbookOutcome::Skipped, "no block of cells was chosen"}};
  report.workbooks_converted = 2;
  report.cells_converted = 12;
  report.messages = {
      Cell("/w/b.xlsx", "Prices", "B10", "Total", "does not appear to be a number"),
      Cell("/w/a.xlsx", "Prices", "B9", "a\tb\nc", "does not appear to be a number"),
      Cell("/w/a.xlsx", "Sheet, \"2\"", "A1", "12%", "does not appear to be a number"),
  };
  return report;
}

QStringList Column(QTableView* table, int column) {
  QStringList texts;
  for (int row = 0; row < table->model()->rowCount(); ++row) {
    texts << table->model()->index(row, column).data().toString();
  }
  return texts;
}

}  // namespace

class ReportWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void saysHowTheRunEndedThenCountsThenTheCellsLeft() {
    Dialogs dialogs;
    dialogs.SetScripted();
    RunReport report = SmallReport();
    report.messages_left_out = 5;
    RunReportWindow window(report, dialogs);
    QCOMPARE(window.findChild<QLabel*>("Summary")->text(), QStringLiteral("Done."));
    QCOMPARE(window.findChild<QLabel*>("Counts")->text(),
             QStringLiteral("Workbooks converted: 2\nWorkbooks failed: 0\nWorkbooks cancelled: "
                            "0\nWorkbooks skipped: 1\nCells converted: 12\nCells left as they "
                            "were: 8"));
    QVERIFY(window.findChild<QLabel*>("NotListed")->text().startsWith(QStringLiteral("5 more")));
    auto* table = window.findChild<QTableView*>("CellsLeft");
    QCOMPARE(table->model()->columnCount(), 5);
    QStringList headings;
    for (int column = 0; column < 5; ++column) {
      headings << table->model()->headerData(column, Qt::Horizontal).toString();
    }
    QCOMPARE(headings, QStringList({"Workbook", "Sheet", "Cell", "Text", "Reason"}));
    // In the order the cells were met; the text with its tabs and line breaks visible.
    QCOMPARE(Column(table, 2), QStringList({"B10", "B9", "A1"}));
    QCOMPARE(Column(table, 0), QStringList({"b.xlsx", "a.xlsx", "a.xlsx"}));
    QCOMPARE(table->model()->index(0, 0).data(Qt::ToolTipRole).toString(),
             QStringLiteral("/w/b.xlsx"));
    QCOMPARE(Column(table, 3), QStringList({"Total", "a\\tb\\nc", "12%"}));
    QCOMPARE(Column(table, 4).front(), QStringLiteral("does not appear to be a number"));
    QVERIFY(window.isSizeGripEnabled());
  }

  void sortsByAnyColumnCellsInRowOrder() {
    Dialogs dialogs;
    dialogs.SetScripted();
    RunReportWindow window(SmallReport(), dialogs);
    auto* table = window.findChild<QTableView*>("CellsLeft");
    table->sortByColumn(2, Qt::AscendingOrder);
    QCOMPARE(Column(table, 2), QStringList({"A1", "B9", "B10"}));  // B9 before B10
    table->sortByColumn(0, Qt::DescendingOrder);
    QCOMPARE(Column(table, 0).front(), QStringLiteral("b.xlsx"));
    table->sortByColumn(3, Qt::AscendingOrder);
    QCOMPARE(Column(table, 3), QStringList({"12%", "a\\tb\\nc", "Total"}));
  }

  void copiesTheSelectedRowsOrAllAsShown() {
    Dialogs dialogs;
    dialogs.SetScripted();
    RunReportWindow window(SmallReport(), dialogs);
    auto* table = window.findChild<QTableView*>("CellsLeft");
    const QString heading = QStringLiteral("Workbook\tSheet\tCell\tText\tReason\n");
    QCOMPARE(window.CopiedText().count(u'\n'), 4);
    table->selectRow(1);
    QCOMPARE(window.CopiedText(),
             heading + QStringLiteral(
                           "/w/a.xlsx\tPrices\tB9\ta\\tb\\nc\tdoes not appear to be a number\n"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    table->setFocus();
    QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), window.CopiedText());
  }

  void savesTheTableAsCsvInTheOrderShown() {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("left.csv"));
    Dialogs dialogs;
    dialogs.ScriptSaveFile(path);
    dialogs.ScriptSaveFile(QString());  // cancelled: nothing written
    RunReportWindow window(SmallReport(), dialogs);
    window.findChild<QTableView*>("CellsLeft")->sortByColumn(2, Qt::AscendingOrder);
    window.findChild<QPushButton*>("SaveCsv")->click();
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(
        QString::fromUtf8(file.readAll()),
        QStringLiteral("Workbook,Sheet,Cell,Text,Reason\r\n"
                       "/w/a.xlsx,\"Sheet, \"\"2\"\"\",A1,12%,does not appear to be a number\r\n"
                       "/w/a.xlsx,Prices,B9,\"a\tb\nc\",does not appear to be a number\r\n"
                       "/w/b.xlsx,Prices,B10,Total,does not appear to be a number\r\n"));
    file.close();
    QFile::remove(path);
    window.findChild<QPushButton*>("SaveCsv")->click();
    QVERIFY(!QFile::exists(path));
    QCOMPARE(dialogs.shown().front().kind, Dialogs::BoxKind::SaveFile);

    // Texts that would start a formula stay texts in whatever opens the file.
    RunReport hostile;
    hostile.messages = {Cell("/w/c.xlsx", "=Sheet", "A1", "=HYPERLINK(\"x\")", "why"),
                        Cell("/w/c.xlsx", "S", "A2", "-2+3+cmd", "@why")};
    std::vector<const CellMessage*> rows;
    for (const CellMessage& cell : hostile.messages) rows.push_back(&cell);
    QCOMPARE(QString::fromUtf8(quillory::qt::CellsLeftCsv(rows)),
             QStringLiteral("Workbook,Sheet,Cell,Text,Reason\r\n"
                            "/w/c.xlsx,'=Sheet,A1,\"'=HYPERLINK(\"\"x\"\")\",why\r\n"
                            "/w/c.xlsx,S,A2,'-2+3+cmd,'@why\r\n"));

    // A file that cannot be written is said so, with where.
    dialogs.ScriptSaveFile(folder.filePath(QStringLiteral("no such folder/left.csv")));
    window.findChild<QPushButton*>("SaveCsv")->click();
    QCOMPARE(dialogs.shown().back().kind, Dialogs::BoxKind::Message);
    QVERIFY(dialogs.shown().back().text.contains(QStringLiteral("no such folder/left.csv")));
  }

  void tenThousandRowsOpenSortAndCopy() {
    RunReport report = SmallReport();
    report.messages.clear();
    for (int row = 1; row <= 10000; ++row) {
      report.messages.push_back(Cell("/w/big.xlsx", "Data", "C" + std::to_string(row),
                                     "label " + std::to_string(row),
                                     "does not appear to be a number"));
    }
    Dialogs dialogs;
    dialogs.SetScripted();
    RunReportWindow window(report, dialogs);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* table = window.findChild<QTableView*>("CellsLeft");
    QCOMPARE(table->model()->rowCount(), 10000);
    table->sortByColumn(2, Qt::DescendingOrder);
    QCOMPARE(table->model()->index(0, 2).data().toString(), QStringLiteral("C10000"));
    table->scrollToBottom();
    QCOMPARE(window.CopiedText().count(u'\n'), 10001);
  }

  void visibleTextShowsWhatCannotBeSeen() {
    using quillory::qt::VisibleText;
    QCOMPARE(VisibleText(QStringLiteral("a\\b")), QStringLiteral("a\\\\b"));
    QCOMPARE(VisibleText(QStringLiteral("\t\r\n")), QStringLiteral("\\t\\r\\n"));
    QCOMPARE(VisibleText(QString(QChar(0x01)) + QChar(0x7f)), QStringLiteral("\\x01\\x7F"));
    QCOMPARE(VisibleText(QStringLiteral("Zürich")), QStringLiteral("Zürich"));
  }
};

QTEST_MAIN(ReportWindowTest)
#include "report_window_test.moc"
