#include <unistd.h>
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <atomic>

#include "engine/settings.h"
#include "engine/words.h"
#include "platform/backends.h"
#include "platform/posix/backup_copy.h"
#include "platform/qt/block_picker.h"
#include "platform/qt/dialogs.h"
#include "platform/qt/gui_prompts.h"
#include "platform/qt/pointer.h"
#include "tests/workbook/fake_workbook.h"
#include "ui/main/background_run.h"
#include "ui/main/file_list_model.h"
#include "ui/main/main_window.h"
#include "ui/main/run_progress_window.h"

#include <xlsxwriter.h>

using quillory::MemorySettings;
using quillory::WordSource;
using quillory::qt::BlockChoice;
using quillory::qt::Dialogs;
using quillory::ui::MainWindow;
using quillory::ui::RunProgressWindow;
using quillory::workbook::RunOutcome;
using quillory::workbook::RunReport;
using quillory::workbook::testing::FakeFile;
using quillory::workbook::testing::FakeOffice;
using quillory::workbook::testing::MakeSheet;

class StartRunTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<MemorySettings> store_;
  std::unique_ptr<WordSource> words_;
  std::unique_ptr<Dialogs> dialogs_;
  FakeOffice office_;
  bool in_use_ = false;
  std::unique_ptr<MainWindow> window_;
  std::optional<RunReport> report_;
  int runs_ = 0;

  void Open(quillory::workbook::ApplicationFactory factory = {}) {
    quillory::ui::MainWindowServices services;
    services.open_application = factory ? std::move(factory) : office_.Factory();
    services.spreadsheet_in_use = [this](const std::vector<std::string>&) { return in_use_; };
    services.start_backup = &quillory::posix::StartBackupCopy;
    window_ = std::make_unique<MainWindow>(*store_, *words_, *dialogs_, std::move(services));
    connect(window_.get(), &MainWindow::RunFinished, this, [this](const RunReport& report) {
      report_ = report;
      ++runs_;
    });
  }

  QAbstractButton* Control(const char* name) {
    return window_->findChild<QAbstractButton*>(QString::fromLatin1(name));
  }

  // Presses Start and waits for the run to end.
  RunReport Start() {
    report_.reset();
    Control("Check2")->click();
    if (!QTest::qWaitFor([this] { return report_.has_value(); }, 10000)) {
      qFatal("the run did not end");
    }
    return *report_;
  }

  QStringList Messages() const {
    QStringList texts;
    for (const Dialogs::Shown& shown : dialogs_->shown()) {
      if (shown.kind == Dialogs::BoxKind::Message) texts.append(shown.text);
    }
    return texts;
  }

  QString ResultText(int row) const {
    return window_->files()
        .data(window_->files().index(row, quillory::ui::FileListModel::kResultColumn),
              Qt::DisplayRole)
        .toString();
  }

  std::string CellText(const std::string& path, std::int32_t row, std::int32_t column) {
    return office_.files.at(path).sheets.at(0).cells.at({row, column}).text;
  }

 private slots:
  void init() {
    store_ = std::make_unique<MemorySettings>();
    words_ = std::make_unique<WordSource>(*store_);
    dialogs_ = std::make_unique<Dialogs>();
    dialogs_->SetScripted();
    office_ = FakeOffice();
    in_use_ = false;
    report_.reset();
    runs_ = 0;
    office_.files["/w/book.xlsx"] =
        FakeFile{{MakeSheet("Sheet1", {{"1234.56", "abc"}, {"7", "=12"}})}, 0, false, false};
    Open();
    Control("Check3")->click();  // no backups of files that only exist in memory
  }

  void cleanup() { window_.reset(); }

  void emptyListOnlySaysNoFilesAdded() {
    const RunReport report = Start();
    QCOMPARE(report.outcome, RunOutcome::NoFiles);
    QCOMPARE(Messages().size(), 1);
    QVERIFY(Messages().front().startsWith(QStringLiteral("No files added.\n\n")));
    QCOMPARE(dialogs_->shown().size(), 1u);
    QCOMPARE(window_->pointer().state(), quillory::qt::WindowPointer::State::Normal);
  }

  void startConvertsWithTheWindowsOptions() {
    window_->files().Append(QStringLiteral("/w/book.xlsx"));
    Control("Option2")->click();
    const RunReport report = Start();
    QCOMPARE(report.outcome, RunOutcome::Done);
    QCOMPARE(CellText("/w/book.xlsx", 1, 1),
             std::string("One Thousand Two Hundred Thirty Four Dollars and Fifty Six Cents"));
    QCOMPARE(CellText("/w/book.xlsx", 2, 2), std::string("Twelve Dollars and No Cents"));
    QCOMPARE(CellText("/w/book.xlsx", 1, 2), std::string("abc"));
    const Dialogs::Shown& done = dialogs_->shown().back();
    QCOMPARE(done.text, QStringLiteral("Done."));
    QVERIFY2(done.details.contains(QStringLiteral("abc does not appear to be a number")),
             qPrintable(done.details));
    QCOMPARE(window_->pointer().state(), quillory::qt::WindowPointer::State::Normal);
    QVERIFY(!window_->running());
  }

  void optionsAreFixedAtThePress() {
    window_->files().Append(QStringLiteral("/w/book.xlsx"));
    window_->files().Append(QStringLiteral("/w/book.xlsx"));
    in_use_ = true;
    dialogs_->ScriptYesNo(true);
    Control("Check2")->click();
    Control("Check2")->click();  // a second press while the run works does nothing
    window_->files().Clear();    // nor does a change of the list
    QVERIFY(QTest::qWaitFor([this] { return report_.has_value(); }, 10000));
    QCOMPARE(runs_, 1);
    QCOMPARE(report_->workbooks_converted, 2);
    QCOMPARE(office_.Count("open /w/book.xlsx"), 2);
    // The second time it holds words only: nothing is written, so it is not saved again.
    QCOMPARE(office_.Count("save /w/book.xlsx"), 1);
    QVERIFY(!Control("Check2")->isChecked());
  }

  void progressShowsTheWorkbookAndItsCellsOutOfTheirTotal() {
    std::atomic<bool> opened{false};
    std::atomic<bool> go_on{false};
    office_.files["/w/big.xlsx"] =
        FakeFile{{MakeSheet("Sheet1", std::vector<std::vector<std::string>>(9000, {"7", "x"}))},
                 0,
                 false,
                 false};
    Open([this, &opened, &go_on](const std::string& path) {
      opened = true;
      while (!go_on) QThread::msleep(5);
      return office_.Factory()(path);
    });
    window_->files().Append(QStringLiteral("/w/book.xlsx"));
    window_->files().Append(QStringLiteral("/w/big.xlsx"));
    Control("Check2")->click();
    QTRY_VERIFY(opened);
    RunProgressWindow* progress = nullptr;
    QTRY_VERIFY((progress = window_->findChild<RunProgressWindow*>()) && progress->isVisible());
    QCOMPARE(progress->WorkbookText(), QStringLiteral("Workbook 1 of 2: book.xlsx"));
    QCOMPARE(progress->CellsText(), QStringLiteral("Opening the workbook..."));
    QCOMPARE(window_->pointer().state(), quillory::qt::WindowPointer::State::Busy);
    QVERIFY(!progress->isModal());  // the main window stays usable
    // nor may the language or the unit words change under the running conversion
    for (const char* name : {"Check4", "Check8", "Check9"}) QVERIFY(!Control(name)->isEnabled());

    go_on = true;
    QTRY_VERIFY(report_.has_value());
    QCOMPARE(report_->outcome, RunOutcome::Done);
    for (const char* name : {"Check4", "Check8", "Check9"}) QTRY_VERIFY(Control(name)->isEnabled());
    QTRY_VERIFY(!window_->findChild<RunProgressWindow*>());

    RunProgressWindow shown;
    shown.Show(2, 3, QStringLiteral("/w/big.xlsx"), 4096, 18000);
    QCOMPARE(shown.WorkbookText(), QStringLiteral("Workbook 2 of 3: big.xlsx"));
    QCOMPARE(shown.CellsText(),
             QLocale().toString(4096) == QStringLiteral("4,096")
                 ? QStringLiteral("Cells: 4,096 of 18,000")
                 : QStringLiteral("Cells: %1 of %2")
                       .arg(QLocale().toString(4096), QLocale().toString(18000)));
    QCOMPARE(shown.findChild<QProgressBar*>(QStringLiteral("CellsBar"))->value(), 227);
    // One workbook done of three, and 4,096 / 18,000 of the second.
    QCOMPARE(shown.findChild<QProgressBar*>(QStringLiteral("WorkbooksBar"))->value(), 409);
  }

  void cancelStopsBetweenCellsAndTheReportSaysSo() {
    office_.files["/w/big.xlsx"] =
        FakeFile{{MakeSheet("Sheet1", std::vector<std::vector<std::string>>(20000, {"7"}))},
                 0,
                 false,
                 false};
    office_.files["/w/last.xlsx"] = office_.files["/w/book.xlsx"];
    const FakeFile big_before = office_.files["/w/big.xlsx"];
    std::atomic<bool> cancel_now{false};
    RunProgressWindow* progress = nullptr;
    Open([this, &cancel_now](const std::string& path) {
      if (path == "/w/big.xlsx") {
        cancel_now = true;  // the window's Cancel is pressed while it opens
        while (cancel_now) QThread::msleep(5);
      }
      return office_.Factory()(path);
    });
    for (const char* path : {"/w/book.xlsx", "/w/big.xlsx", "/w/last.xlsx"}) {
      window_->files().Append(QString::fromLatin1(path));
    }
    Control("Check2")->click();
    QTRY_VERIFY(cancel_now);
    QTRY_VERIFY((progress = window_->findChild<RunProgressWindow*>()) && progress->isVisible());
    QTest::mouseClick(progress->findChild<QPushButton*>(QStringLiteral("Cancel")), Qt::LeftButton);
    QVERIFY(progress->cancelling());
    QVERIFY(!progress->findChild<QPushButton*>(QStringLiteral("Cancel"))->isEnabled());
    cancel_now = false;
    QTRY_VERIFY(report_.has_value());

    QCOMPARE(report_->outcome, RunOutcome::Cancelled);
    QCOMPARE(CellText("/w/book.xlsx", 1, 1),
             std::string("One Thousand Two Hundred Thirty Four Point Fifty Six"));
    QCOMPARE(office_.files.at("/w/big.xlsx"), big_before);
    QCOMPARE(office_.Count("open /w/last.xlsx"), 0);
    const Dialogs::Shown& shown = dialogs_->shown().back();
    QCOMPARE(shown.kind, Dialogs::BoxKind::Report);
    QCOMPARE(shown.text, QStringLiteral("The run was cancelled: /w/big.xlsx was not converted; its "
                                        "file is untouched.\nThe workbooks before it were "
                                        "converted and saved.\nThe workbooks after it were not "
                                        "touched."));
    // Each entry of the list shows what became of it.
    QCOMPARE(ResultText(0), QStringLiteral("Converted"));
    QCOMPARE(ResultText(1), QStringLiteral("Cancelled"));
    QCOMPARE(ResultText(2), QStringLiteral("Not reached"));
  }

  void closingTheProgressWindowOrPressingEscapeMeansCancel() {
    RunProgressWindow progress;
    int asked = 0;
    connect(&progress, &RunProgressWindow::CancelRequested, this, [&] { ++asked; });
    progress.show();
    QVERIFY(QTest::qWaitForWindowExposed(&progress));
    QVERIFY(!progress.close());  // it stays until the run has stopped
    QCOMPARE(asked, 1);
    progress.ShowCancelling();
    QTest::keyClick(&progress, Qt::Key_Escape);
    QCOMPARE(asked, 1);  // asked once is enough
    QVERIFY(progress.isVisible());
  }

  void closingTheMainWindowDuringARunAsksWhetherToCancelIt() {
    std::atomic<bool> opened{false};
    std::atomic<bool> go_on{false};
    Open([this, &opened, &go_on](const std::string& path) {
      opened = true;
      while (!go_on) QThread::msleep(5);
      return office_.Factory()(path);
    });
    window_->show();
    window_->files().Append(QStringLiteral("/w/book.xlsx"));
    const FakeFile before = office_.files.at("/w/book.xlsx");
    Control("Check2")->click();
    QTRY_VERIFY(opened);

    dialogs_->ScriptYesNo(false);  // No: the run goes on, the window stays
    QVERIFY(!window_->close());
    QCOMPARE(dialogs_->shown().back().text, quillory::ui::kCancelToClose);
    QVERIFY(window_->running());
    QVERIFY(!window_->run().cancelling());

    dialogs_->ScriptYesNo(true);  // Yes: cancelled, and the window closes when the run has ended
    QVERIFY(!window_->close());
    QVERIFY(window_->run().cancelling());
    go_on = true;
    QTRY_VERIFY(report_.has_value());
    QCOMPARE(report_->outcome, RunOutcome::Cancelled);
    QTRY_VERIFY(!window_->isVisible());
    QCOMPARE(office_.files.at("/w/book.xlsx"), before);
    QCOMPARE(dialogs_->shown().back().kind,
             Dialogs::BoxKind::YesNo);  // no report to a closed window
  }

  void runsWorkOnOneThreadThatOutlivesThem() {
    // An office instance a run starts ends with the thread that started it: that thread must
    // not end between runs, whatever the shared pool does with its idle threads.
    const int expiry = QThreadPool::globalInstance()->expiryTimeout();
    QThreadPool::globalInstance()->setExpiryTimeout(20);
    std::vector<pid_t> threads;
    Open([this, &threads](const std::string& path) {
      threads.push_back(gettid());
      return office_.Factory()(path);
    });
    window_->files().Append(QStringLiteral("/w/book.xlsx"));
    QCOMPARE(Start().outcome, RunOutcome::Done);
    QTest::qWait(300);
    const bool lives = QFileInfo::exists(QStringLiteral("/proc/self/task/%1").arg(threads.at(0)));
    QCOMPARE(Start().outcome, RunOutcome::Done);
    QThreadPool::globalInstance()->setExpiryTimeout(expiry);
    QVERIFY(lives);
    QCOMPARE(threads.at(1), threads.at(0));
  }

  void declinedRunningInstanceTouchesNothing() {
    window_->files().Append(QStringLiteral("/w/book.xlsx"));
    in_use_ = true;
    dialogs_->ScriptYesNo(false);
    QCOMPARE(Start().outcome, RunOutcome::Declined);
    QVERIFY(office_.log.empty());
    QCOMPARE(Messages(), QStringList{"The run was not started; nothing was converted."});
    QCOMPARE(dialogs_->shown().front().kind, Dialogs::BoxKind::YesNo);
    QVERIFY(dialogs_->shown().front().text.startsWith(
        QStringLiteral("A spreadsheet program may have one of the workbooks open.")));
  }

  void lettersQuestionComesBackUntilNumeric() {
    window_->files().Append(QStringLiteral("/w/book.xlsx"));
    Control("Option6")->click();
    dialogs_->ScriptText(QStringLiteral("abc"));
    dialogs_->ScriptText(QStringLiteral("67"));
    dialogs_->ScriptText(QStringLiteral("1"));
    QCOMPARE(Start().outcome, RunOutcome::Done);
    int asked = 0;
    for (const Dialogs::Shown& shown : dialogs_->shown()) {
      if (shown.kind != Dialogs::BoxKind::Text) continue;
      ++asked;
      QVERIFY(shown.text.endsWith(QStringLiteral("What number corresponds with A?")));
      QCOMPARE(shown.initial, QStringLiteral("1"));
    }
    QCOMPARE(asked, 3);
    QCOMPARE(CellText("/w/book.xlsx", 2, 1), std::string("G"));
  }

  void blockScopeConvertsThePickedBlockOnly() {
    window_->files().Append(QStringLiteral("/w/book.xlsx"));
    Control("Option5")->click();
    dialogs_->ScriptBlock(BlockChoice{0, 2, 1, 2, 1});
    QCOMPARE(Start().outcome, RunOutcome::Done);
    QCOMPARE(CellText("/w/book.xlsx", 2, 1), std::string("Seven"));
    QCOMPARE(CellText("/w/book.xlsx", 1, 1), std::string("1234.56"));
    QCOMPARE(office_.Count("visible 1"), 1);

    // Cancelling the block question skips that workbook and says so.
    dialogs_->ScriptBlock(std::nullopt);
    const RunReport skipped = Start();
    QCOMPARE(skipped.outcome, RunOutcome::Done);
    QCOMPARE(skipped.workbooks.at(0).outcome, quillory::workbook::WorkbookOutcome::Skipped);
    QCOMPARE(dialogs_->shown().back().text,
             QStringLiteral("Done.\n/w/book.xlsx was skipped: no block of cells was chosen."));
    QCOMPARE(ResultText(0), QStringLiteral("Skipped"));
  }

  void promptsFromTheRunShowOnTheWindowsThread() {
    QThread* window_thread = QThread::currentThread();
    std::vector<std::tuple<int, int, QString, qint64>> progress;
    std::atomic<bool> busy_off_window_thread{false};
    quillory::qt::GuiPrompts::Hooks hooks;
    hooks.set_busy = [&](bool) {
      if (QThread::currentThread() != window_thread) busy_off_window_thread = true;
    };
    hooks.progress = [&](int index, int count, const QString& path, qint64 cells, qint64) {
      QCOMPARE(QThread::currentThread(), window_thread);
      progress.emplace_back(index, count, path, cells);
    };
    quillory::qt::GuiPrompts prompts(*dialogs_, nullptr, hooks);
    dialogs_->ScriptText(QStringLiteral("Zürich"));
    std::optional<std::string> answer;
    QThread* run = QThread::create([&] {
      quillory::workbook::BusyGuard busy(prompts);
      for (int cells = 1; cells <= 500; ++cells) prompts.Progress({2, 3, "/w/b.xlsx", cells, 500});
      answer = prompts.AskText("Name?", "ä");
    });
    run->start();
    QVERIFY(QTest::qWaitFor([&] { return run->isFinished(); }, 10000));
    delete run;
    QCoreApplication::processEvents();
    QCOMPARE(answer, std::optional<std::string>("Zürich"));
    QCOMPARE(dialogs_->shown().back().initial, QStringLiteral("ä"));
    QVERIFY(!busy_off_window_thread);
    QVERIFY(!progress.empty());
    QVERIFY(progress.size() < 500u);  // figures that came in a burst are shown once
    QCOMPARE(progress.back(), std::make_tuple(2, 3, QStringLiteral("/w/b.xlsx"), qint64(500)));
  }

  void blockPickerShowsSheetsAndGivesTheSelectedBlock() {
    FakeFile file{{MakeSheet("Prices", {{"1", "2"}, {"", "x"}}), MakeSheet("Totals", {{"9"}})},
                  0,
                  false,
                  false};
    office_.files["/w/two.xlsx"] = file;
    auto application = office_.Factory()("/w/two.xlsx");
    auto workbook = application->Open("/w/two.xlsx");
    quillory::qt::BlockPickerDialog dialog(*workbook);
    auto* tabs = dialog.findChild<QTabWidget*>();
    QCOMPARE(tabs->count(), 2);
    QCOMPARE(tabs->tabText(0), QStringLiteral("Prices"));
    auto* grid = qobject_cast<QTableView*>(tabs->widget(0));
    QCOMPARE(grid->model()->rowCount(), 2);
    QCOMPARE(grid->model()->columnCount(), 2);
    QCOMPARE(grid->model()->index(1, 1).data().toString(), QStringLiteral("x"));
    QVERIFY(!grid->model()->index(1, 0).data().isValid());
    QCOMPARE(grid->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("B"));
    QVERIFY(!dialog.SelectedBlock());
    dialog.show();
    QVERIFY(dialog.grab().save(QStringLiteral(QUILLORY_TEST_OUTPUT "/block_picker.png")));

    quillory::workbook::Block wanted;
    wanted.first_row = 1;
    wanted.first_column = 1;
    wanted.last_row = 2;
    wanted.last_column = 2;
    dialog.Select(0, wanted);
    QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("SelectedBlock"))->text(),
             QStringLiteral("Prices!A1:B2"));
    const auto block = dialog.SelectedBlock();
    QVERIFY(block);
    QCOMPARE(block->sheet, workbook->Worksheets().at(0));
    QCOMPARE(
        std::make_tuple(block->first_row, block->first_column, block->last_row, block->last_column),
        std::make_tuple(1, 1, 2, 2));

    QCOMPARE(dialog.windowTitle(), QStringLiteral("two.xlsx - Quillory"));

    QCOMPARE(quillory::qt::ColumnName(1), QStringLiteral("A"));
    QCOMPARE(quillory::qt::ColumnName(26), QStringLiteral("Z"));
    QCOMPARE(quillory::qt::ColumnName(27), QStringLiteral("AA"));
    QCOMPARE(quillory::qt::ColumnName(702), QStringLiteral("ZZ"));
    QCOMPARE(quillory::qt::ColumnName(16384), QStringLiteral("XFD"));
  }

  void realBoxesAreWideAndClosingTheQuestionMeansNo() {
    Dialogs real;  // not scripted: the boxes are shown
    int width = 0;
    const auto close_when_shown = [&width] {
      QTimer::singleShot(50, [&width] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box) return;
        width = box->width();
        box->close();
      });
    };
    close_when_shown();
    QVERIFY(!real.AskYesNo(nullptr, QStringLiteral("Proceed?")));  // closed: No
    QVERIFY(width >= 320);  // room for the whole title, however short the text
    close_when_shown();
    real.Message(nullptr, QStringLiteral("Done."));
    QVERIFY(width >= 320);
  }

  void blockPickerOpensOnTheActiveSheetAndMarksHiddenOnes() {
    auto hidden = MakeSheet("Old Prices", {{"5"}});
    hidden.hidden = true;
    auto chart = MakeSheet("Chart", {});
    chart.chart = true;
    office_.files["/w/three.xlsx"] =
        FakeFile{{MakeSheet("Prices", {{"1"}}), hidden, MakeSheet("Totals", {{"9"}}), chart},
                 2,
                 false,
                 false};
    auto application = office_.Factory()("/w/three.xlsx");
    auto workbook = application->Open("/w/three.xlsx");
    {
      quillory::qt::BlockPickerDialog dialog(*workbook);
      auto* tabs = dialog.findChild<QTabWidget*>();
      QCOMPARE(tabs->count(), 3);
      QCOMPARE(tabs->tabText(1), QStringLiteral("Old Prices (hidden)"));
      QVERIFY(!tabs->tabToolTip(1).isEmpty());
      QCOMPARE(tabs->tabText(2), QStringLiteral("Totals"));
      QCOMPARE(tabs->currentIndex(), 2);  // as the workbook opens
    }
    // A chart sheet is active: the picker opens on the first worksheet.
    static_cast<quillory::workbook::testing::FakeWorkbook&>(*workbook).data().active = 3;
    quillory::qt::BlockPickerDialog dialog(*workbook);
    QCOMPARE(dialog.findChild<QTabWidget*>()->currentIndex(), 0);
  }

  void realWorkbookEndToEnd() {
    QTemporaryDir temp;
    const QString path = temp.filePath(QStringLiteral("Sales.xlsx"));
    lxw_workbook* book = workbook_new(path.toUtf8().constData());
    lxw_worksheet* sheet = workbook_add_worksheet(book, "Sheet1");
    worksheet_write_number(sheet, 0, 0, 1234.56, nullptr);
    worksheet_write_string(sheet, 0, 1, "Total", nullptr);
    worksheet_write_number(sheet, 1, 0, 42, nullptr);
    QCOMPARE(workbook_close(book), LXW_NO_ERROR);

    auto embedded = quillory::MakeApplicationFactory(quillory::Backend::Embedded);
    Open(embedded);
    Control("Check3")->click();  // back on: a backup beside the workbook
    window_->files().Append(path);
    const RunReport report = Start();
    QCOMPARE(report.outcome, RunOutcome::Done);
    QCOMPARE(dialogs_->shown().back().text, QStringLiteral("Done."));

    auto reopened = embedded(path.toStdString())->Open(path.toStdString());
    auto* converted = reopened->Worksheets().at(0);
    QCOMPARE(converted->Text(1, 1),
             std::string("One Thousand Two Hundred Thirty Four Point Fifty Six"));
    QCOMPARE(converted->Text(1, 2), std::string("Total"));
    QCOMPARE(converted->Text(2, 1), std::string("Forty Two"));
    const QStringList backups =
        QDir(temp.path()).entryList({QStringLiteral("Sales Backup *.xlsx")}, QDir::Files);
    QCOMPARE(backups.size(), 1);
  }
};

QTEST_MAIN(StartRunTest)
#include "start_run_test.moc"
