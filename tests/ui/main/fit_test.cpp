// Every window fits the screen it opens on: run once per screen, as
//   fit_test WIDTH HEIGHT SCALE
// on an offscreen screen of WIDTH x HEIGHT pixels with QT_SCALE_FACTOR=SCALE.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include "engine/settings.h"
#include "engine/words.h"
#include "platform/qt/block_picker.h"
#include "platform/qt/dialogs.h"
#include "platform/qt/run_report_window.h"
#include "platform/spellout/numbertext_speakers.h"
#include "tests/workbook/fake_workbook.h"
#include "ui/languages/default_language_window.h"
#include "ui/languages/language_editor.h"
#include "ui/main/help_window.h"
#include "ui/main/main_window.h"
#include "ui/main/run_progress_window.h"

using namespace quillory;

namespace {

// Room the window manager takes around a window: title bar and borders.
const QSize kFrame(16, 48);

void CheckFits(QWidget* window) {
  window->show();
  QVERIFY(QTest::qWaitForWindowExposed(window));
  const QRect room = window->screen()->availableGeometry();
  const QString what = QStringLiteral("%1 of %2x%3 on %4x%5")
                           .arg(window->objectName())
                           .arg(window->width())
                           .arg(window->height())
                           .arg(room.width())
                           .arg(room.height());
  QVERIFY2(window->width() + kFrame.width() <= room.width(), qPrintable(what));
  QVERIFY2(window->height() + kFrame.height() <= room.height(), qPrintable(what));
  // Nothing on it is squeezed below its own size.
  for (QWidget* child : window->findChildren<QWidget*>()) {
    if (!child->isVisible()) continue;
    if (qobject_cast<QLabel*>(child) || qobject_cast<QAbstractButton*>(child)) {
      QVERIFY2(child->width() >= child->minimumSizeHint().width(),
               qPrintable(what + QLatin1Char(' ') + child->objectName()));
    }
  }
}

}  // namespace

class FitTest : public QObject {
  Q_OBJECT

 private slots:
  void mainWindowFits() {
    MemorySettings store;
    WordSource words(store);
    qt::Dialogs dialogs;
    ui::MainWindow window(store, words, dialogs, {});
    CheckFits(&window);

    // With a built-in language, its currency list beside the kinds.
    store.WriteSetting("Default Language", "Français (fr)");
    spellout::NumbertextSpeakers speakers;
    WordSource built_in_words(store, &speakers);
    ui::MainWindow with_currency(store, built_in_words, dialogs, {});
    CheckFits(&with_currency);
  }

  void languageEditorFitsAndScrollsToEveryWord() {
    MemorySettings store;
    store.WriteSetting("Languages", "Français;");
    qt::Dialogs dialogs;
    ui::LanguageEditor editor(store, dialogs);
    CheckFits(&editor);
    editor.findChild<QComboBox*>("Combo1")->setCurrentIndex(0);
    auto* area = editor.findChild<QScrollArea*>("WordsArea");
    // Tab reaches every word box, and each comes into view as it takes the focus.
    for (int n = 2; n <= 38; ++n) {
      QLineEdit* box = editor.findChild<QLineEdit*>(QStringLiteral("Text%1").arg(n));
      box->setFocus();
      const QRect shown(box->mapTo(area->viewport(), QPoint()), box->size());
      QVERIFY2(area->viewport()->rect().contains(shown),
               qPrintable(QStringLiteral("%1 at %2 in %3, frame %4, scrolled %5 of %6")
                              .arg(box->objectName())
                              .arg(shown.x())
                              .arg(area->viewport()->width())
                              .arg(area->widget()->width())
                              .arg(area->horizontalScrollBar()->value())
                              .arg(area->horizontalScrollBar()->maximum())));
    }
  }

  void otherWindowsFit() {
    MemorySettings store;
    WordSource words(store);
    qt::Dialogs dialogs;
    ui::DefaultLanguageWindow chooser(store, words);
    CheckFits(&chooser);
    ui::RunProgressWindow progress;
    progress.Show(1, 1, QStringLiteral("/w/book.xlsx"), 1, 2);
    CheckFits(&progress);
    workbook::RunReport report;
    report.summary = "Done.";
    report.workbooks = {{workbook::WorkbookOutcome::Converted, ""}};
    for (int i = 0; i < 100; ++i) {
      report.messages.push_back({"/w/book.xlsx", "S", "A1", "x does not appear to be a number", "x",
                                 "does not appear to be a number"});
    }
    qt::RunReportWindow report_window(report, dialogs);
    CheckFits(&report_window);
    ui::HelpWindow help;
    CheckFits(&help);
  }
};

int main(int argc, char** argv) {
  if (argc < 4) {
    qCritical("usage: fit_test WIDTH HEIGHT SCALE");
    return 2;
  }
  const int width = QByteArray(argv[1]).toInt();
  const int height = QByteArray(argv[2]).toInt();
  const QString config = QDir::temp().filePath(
      QStringLiteral("quillory-fit-%1-%2-%3.json").arg(width).arg(height).arg(getpid()));
  {
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) return 2;
    file.write(QStringLiteral("{\"screens\":[{\"name\":\"Screen\",\"x\":0,\"y\":0,\"width\":%1,"
                              "\"height\":%2,\"logicalDpi\":96,\"logicalBaseDpi\":96,\"dpr\":1}]}")
                   .arg(width)
                   .arg(height)
                   .toUtf8());
  }
  qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toUtf8());
  qputenv("QT_SCALE_FACTOR", argv[3]);
  int result = 0;
  {
    QApplication application(argc, argv);
    FitTest test;
    char* test_argv[] = {argv[0]};
    result = QTest::qExec(&test, 1, test_argv);
  }
  QFile::remove(config);
  return result;
}

#include "fit_test.moc"
