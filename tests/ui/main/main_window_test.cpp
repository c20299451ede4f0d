#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QKeySequence>
#include <QLabel>
#include <QRadioButton>
#include <QScreen>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QThreadPool>
#include <QTimer>
#include <QTreeView>

#include "engine/settings.h"
#include "engine/words.h"
#include "platform/qt/dialogs.h"
#include "platform/qt/pointer.h"
#include "quillory/version.h"
#include "ui/main/file_list_model.h"
#include "ui/main/file_list_view.h"
#include "ui/main/help_window.h"
#include "ui/main/main_window.h"

using quillory::MemorySettings;
using quillory::WordSource;
using quillory::qt::Dialogs;
using quillory::qt::WindowPointer;
using quillory::ui::MainWindow;
using State = WindowPointer::State;

namespace {

const QString kAbsent = QStringLiteral("<absent>");

void Store(MemorySettings& store, const char* key, const QString& value) {
  if (value != kAbsent) store.WriteSetting(key, value.toStdString());
}

QString Stored(const MemorySettings& store, const char* key) {
  return store.HasSetting(key) ? QString::fromStdString(store.ReadSetting(key, "")) : kAbsent;
}

void SendMove(QWidget* widget, QPoint position) {
  QMouseEvent event(QEvent::MouseMove, QPointF(position), widget->mapToGlobal(QPointF(position)),
                    Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

void SendEnter(QWidget* widget) {
  QEnterEvent event(QPointF(2, 2), QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)));
  QApplication::sendEvent(widget, &event);
}

// A pointer file as the program's folder may hold it: an icon image with the pointer's type
// and hot spot in its header.
QByteArray PointerFile(int hot_x, int hot_y) {
  QImage image(32, 32, QImage::Format_ARGB32);
  image.fill(Qt::red);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "ico")) return {};
  bytes[2] = 2;
  bytes[10] = static_cast<char>(hot_x);
  bytes[11] = 0;
  bytes[12] = static_cast<char>(hot_y);
  bytes[13] = 0;
  return bytes;
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<MemorySettings> store_;
  std::unique_ptr<WordSource> words_;
  std::unique_ptr<Dialogs> dialogs_;
  QStringList opened_pages_;
  int draw_ = 1;
  int draws_ = 0;
  QString program_folder_;

  std::unique_ptr<MainWindow> Open() {
    quillory::ui::MainWindowServices services;
    services.draw_percent = [this] {
      ++draws_;
      return draw_;
    };
    services.open_web_page = [this](const QString& address) { opened_pages_.append(address); };
    services.program_folder = program_folder_;
    return std::make_unique<MainWindow>(*store_, *words_, *dialogs_, std::move(services));
  }

  template <typename T = QAbstractButton>
  static T* Control(MainWindow& window, const char* name) {
    T* control = window.findChild<T*>(QString::fromLatin1(name));
    if (!control) qFatal("no control %s", name);
    return control;
  }

 private slots:
  void init() {
    store_ = std::make_unique<MemorySettings>();
    words_ = std::make_unique<WordSource>(*store_);
    dialogs_ = std::make_unique<Dialogs>();
    dialogs_->SetScripted();
    opened_pages_.clear();
    draw_ = 1;
    draws_ = 0;
    program_folder_.clear();
  }

  void startUpRestoresOptions_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("backup");
    QTest::addColumn<QString>("kind_shown");
    QTest::addColumn<QString>("scope_shown");
    QTest::addColumn<bool>("backup_shown");
    QTest::addColumn<QString>("option_after");
    QTest::addColumn<QString>("type_after");
    QTest::addColumn<QString>("backup_after");
    const QString a = kAbsent;
    QTest::newRow("fresh store") << a << a << a << "Option1"
                                 << "Option3" << true << a << a << a;
    QTest::newRow("currency, block, no backup") << "2"
                                                << "3"
                                                << "False"
                                                << "Option2"
                                                << "Option5" << false << "2"
                                                << "3"
                                                << "False";
    QTest::newRow("lower-case true clears the box") << "1"
                                                    << "2"
                                                    << "true"
                                                    << "Option1"
                                                    << "Option4" << false << "1"
                                                    << "2"
                                                    << "False";
    QTest::newRow("type 7 selects nothing and stays") << a << "7"
                                                      << "True"
                                                      << "Option1"
                                                      << "Option3" << true << a << "7"
                                                      << "True";
    QTest::newRow("odd kind means currency") << "abc"
                                             << "x"
                                             << ""
                                             << "Option2"
                                             << "Option3" << false << "2"
                                             << "x"
                                             << "False";
    QTest::newRow("numbers in other forms") << "1.0"
                                            << " 3 "
                                            << "True"
                                            << "Option1"
                                            << "Option5" << true << "1"
                                            << "3"
                                            << "True";
  }

  void startUpRestoresOptions() {
    QFETCH(QString, option);
    QFETCH(QString, type);
    QFETCH(QString, backup);
    Store(*store_, "Option", option);
    Store(*store_, "Type", type);
    Store(*store_, "BackupCheck", backup);

    auto window = Open();
    QFETCH(QString, kind_shown);
    QFETCH(QString, scope_shown);
    QFETCH(bool, backup_shown);
    QVERIFY(Control(*window, kind_shown.toLatin1())->isChecked());
    QVERIFY(Control(*window, scope_shown.toLatin1())->isChecked());
    QCOMPARE(Control(*window, "Check3")->isChecked(), backup_shown);
    QVERIFY(!Control(*window, "Option6")->isChecked());

    QFETCH(QString, option_after);
    QFETCH(QString, type_after);
    QFETCH(QString, backup_after);
    QCOMPARE(Stored(*store_, "Option"), option_after);
    QCOMPARE(Stored(*store_, "Type"), type_after);
    QCOMPARE(Stored(*store_, "BackupCheck"), backup_after);
    QCOMPARE(window->files().Count(), 0);
  }

  void controlsCarryTheirNamesAndCaptions() {
    auto window = Open();
    // Each button and option with its mnemonic, every letter used once.
    const QList<std::pair<const char*, QString>> captions = {
        {"Check1", "&Add Excel Files"},
        {"Check5", "Add All Excel Files In &Folder"},
        {"Check7", "Clea&r List"},
        {"Option1", "&Number to Text"},
        {"Option2", "&Currency to Text"},
        {"Option6", "Convert Numbers to Le&tters (A = 1, B = 2, etc.)"},
        {"Option3", "&Entire workbook"},
        {"Option4", "Acti&ve sheet"},
        {"Option5", "&Block of specific cells"},
        {"Check3", "Make bac&kup of Excel files before convert and put backup in same folder"},
        {"Check4", "Change \"&Dollar\" to X, Change \"Cent\" to Y"},
        {"Check8", "Add &Other Languages"},
        {"Check9", "Set Default &Language"},
        {"Help", "&Help"},
        {"Check2", "&Start"},
    };
    QSet<QChar> mnemonics;
    for (const auto& [name, caption] : captions) {
      QCOMPARE(Control(*window, name)->text(), caption);
      const QChar letter = caption.at(caption.indexOf(u'&') + 1).toLower();
      QVERIFY2(!mnemonics.contains(letter), name);
      mnemonics.insert(letter);
      QCOMPARE(Control(*window, name)->shortcut(), QKeySequence::mnemonic(caption));
    }
    QCOMPARE(window->findChildren<QAbstractButton*>().size(), captions.size());
    auto* frame1 = Control<QGroupBox>(*window, "Frame1");
    auto* frame2 = Control<QGroupBox>(*window, "Frame2");
    QVERIFY(frame1->title().isEmpty() && frame2->title().isEmpty());
    for (const char* name : {"Option1", "Option2", "Option6"}) {
      QCOMPARE(Control(*window, name)->parentWidget(), frame1);
    }
    for (const char* name : {"Option3", "Option4", "Option5"}) {
      QCOMPARE(Control(*window, name)->parentWidget(), frame2);
    }
    auto* list = Control<QTreeView>(*window, "ListView1");
    QCOMPARE(list->model()->headerData(0, Qt::Horizontal).toString(),
             QStringLiteral("Excel File(s)"));
    QCOMPARE(window->windowTitle(), QStringLiteral("Quillory"));
    QVERIFY(!window->windowIcon().isNull());
    QCOMPARE(Control<QLabel>(*window, "CurrentLanguage")->text(),
             QStringLiteral("Language: English"));
  }

  void mnemonicsPressTheirButtons() {
    auto window = Open();
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    dialogs_->ScriptFiles({QStringLiteral("/data/a.xls")});
    QTest::keyClick(window.get(), Qt::Key_A, Qt::AltModifier);
    QTRY_COMPARE(window->files().Paths(), QStringList{"/data/a.xls"});
    QTest::keyClick(window.get(), Qt::Key_C, Qt::AltModifier);
    QTRY_VERIFY(Control(*window, "Option2")->isChecked());
    QCOMPARE(Stored(*store_, "Option"), QStringLiteral("2"));
    QTest::keyClick(window.get(), Qt::Key_R, Qt::AltModifier);
    QTRY_COMPARE(window->files().Count(), 0);
  }

  void opensCentredWithFocusOnTheList() {
    auto window = Open();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    const QRect screen = window->screen()->geometry();
    QCOMPARE(window->x(), screen.left() + (screen.width() - window->width()) / 2);
    QCOMPARE(window->y(), screen.top() + (screen.height() - window->height()) / 2);
    QTRY_COMPARE(QApplication::focusWidget(), Control<QWidget>(*window, "ListView1"));
  }

  void tabRunsThroughTheWindowAsItReadsEnteringEachGroupAtItsCheckedOption() {
    store_->WriteSetting("Option", "2");
    store_->WriteSetting("Type", "3");
    auto window = Open();
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    const QStringList expected = {"ListView1", "Check1", "Check5", "Check7", "Option2", "Option5",
                                  "Check3",    "Check4", "Check8", "Check9", "Help",    "Check2"};
    QStringList visited;
    for (int i = 0; i < expected.size(); ++i) {
      QWidget* focus = QApplication::focusWidget();
      QVERIFY(focus);
      visited.append(focus->objectName());
      QTest::keyClick(focus, Qt::Key_Tab);
    }
    QCOMPARE(visited, expected);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("ListView1"));

    // Backwards, and the arrow keys move within a group, choosing as they go.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Check2"));
    Control(*window, "Option2")->setFocus();
    QTest::keyClick(Control(*window, "Option2"), Qt::Key_Left);
    QVERIFY(Control(*window, "Option1")->isChecked());
    QCOMPARE(Stored(*store_, "Option"), QStringLiteral("1"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Option5"));
  }

  void enterPressesTheFocusedButton() {
    auto window = Open();
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    dialogs_->ScriptFiles({QStringLiteral("/data/a.xls")});
    Control(*window, "Check1")->setFocus();
    QTest::keyClick(Control(*window, "Check1"), Qt::Key_Return);
    QTRY_COMPARE(window->files().Count(), 1);
    Control(*window, "Check7")->setFocus();
    QTest::keyClick(Control(*window, "Check7"), Qt::Key_Enter);
    QTRY_COMPARE(window->files().Count(), 0);
  }

  void optionClicksWriteAtOnce() {
    auto window = Open();
    const QList<std::tuple<const char*, const char*, QString>> clicks = {
        {"Option2", "Option", "2"},         {"Option6", "Option", "2"},
        {"Option1", "Option", "1"},         {"Option4", "Type", "2"},
        {"Option5", "Type", "3"},           {"Option3", "Type", "1"},
        {"Check3", "BackupCheck", "False"}, {"Check3", "BackupCheck", "True"},
    };
    for (const auto& [control, key, value] : clicks) {
      Control(*window, control)->click();
      QCOMPARE(Stored(*store_, key), value);
    }
  }

  void lettersKindIsNotRemembered() {
    {
      auto window = Open();
      Control(*window, "Option2")->click();
      Control(*window, "Option6")->click();
      QVERIFY(Control(*window, "Option6")->isChecked());
    }
    auto window = Open();
    QVERIFY(Control(*window, "Option2")->isChecked());
  }

  void renameAsksForBothWordsAndTheirPluralsOnEveryClick() {
    auto window = Open();
    QAbstractButton* rename = Control(*window, "Check4");
    dialogs_->ScriptText(QStringLiteral("Penny"));
    dialogs_->ScriptText(QStringLiteral("Pennies"));
    dialogs_->ScriptText(std::nullopt);  // the cent and its plural: not asked past a cancel
    rename->click();
    QCOMPARE(Stored(*store_, "Dollar"), QStringLiteral("Penny"));
    QCOMPARE(Stored(*store_, "DollarPlural"), QStringLiteral("Pennies"));
    QCOMPARE(Stored(*store_, "Cent"), kAbsent);
    QCOMPARE(Stored(*store_, "CentPlural"), kAbsent);
    QVERIFY(rename->isChecked());  // this button shows its two looks in turn

    // Cancel on the first question leaves both words alone and asks nothing more.
    dialogs_->ScriptText(std::nullopt);
    rename->click();
    QVERIFY(!rename->isChecked());
    QCOMPARE(Stored(*store_, "Dollar"), QStringLiteral("Penny"));

    // An empty answer keeps the word; the plural offered is the stored one.
    dialogs_->ScriptText(QString());
    dialogs_->ScriptText(QString());
    dialogs_->ScriptText(QStringLiteral("Farthing"));
    dialogs_->ScriptText(QStringLiteral("Farthings"));  // the word and "s": nothing to store
    rename->click();
    QCOMPARE(Stored(*store_, "DollarPlural"), QStringLiteral("Pennies"));
    QCOMPARE(Stored(*store_, "Cent"), QStringLiteral("Farthing"));
    QCOMPARE(Stored(*store_, "CentPlural"), kAbsent);

    QStringList prompts;
    QStringList offered;
    for (const Dialogs::Shown& shown : dialogs_->shown()) {
      prompts << shown.text;
      offered << shown.initial;
    }
    QCOMPARE(prompts,
             QStringList({"Rename \"Dollar\" to:", "Plural of \"Penny\":", "Rename \"Cent\" to:",
                          "Rename \"Dollar\" to:", "Rename \"Dollar\" to:", "Plural of \"Penny\":",
                          "Rename \"Cent\" to:", "Plural of \"Farthing\":"}));
    QCOMPARE(offered, QStringList({"Dollar", "Pennys", "Cent", "Penny", "Penny", "Pennies", "Cent",
                                   "Farthings"}));
  }

  void languageButtonsLookReleasedWhileTheirWindowIsOpen() {
    auto window = Open();
    for (const char* name : {"Check8", "Check9"}) {
      bool released_while_open = false;
      QTimer::singleShot(0, [&] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
          auto* dialog = qobject_cast<QDialog*>(top);
          if (!dialog || !dialog->isVisible()) continue;
          released_while_open = !Control(*window, name)->isChecked();
          dialog->reject();
        }
      });
      Control(*window, name)->click();
      QVERIFY2(released_while_open, name);
    }
  }

  void homePageOpensOnlyOnTheLuckyDraw() {
    Open();
    QCOMPARE(draws_, 1);
    QVERIFY(opened_pages_.isEmpty());
    draw_ = 7;
    Open();
    QCOMPARE(opened_pages_, QStringList{quillory::ui::kHomePage});
  }

  void storedDefaultLanguageIsCurrentFromTheStart() {
    store_->WriteSetting("Default Language", "French");
    Open();
    QCOMPARE(words_->CurrentLanguage(), std::string("French"));
  }

  void hoverShowsHandOverTheMainCommandsOnly() {
    auto window = Open();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    WindowPointer& pointer = window->pointer();
    QCOMPARE(pointer.state(), State::Normal);

    SendEnter(Control(*window, "Check2"));
    QCOMPARE(pointer.state(), State::Hand);
    QCOMPARE(window->cursor().shape(), Qt::PointingHandCursor);
    QVERIFY(!window->childAt(QPoint(2, 2)));
    SendMove(window.get(), QPoint(2, 2));  // the background
    QCOMPARE(pointer.state(), State::Normal);
    SendEnter(Control(*window, "Check9"));
    QCOMPARE(pointer.state(), State::Normal);

    SendEnter(Control(*window, "Check1"));
    QCOMPARE(pointer.state(), State::Hand);
    SendEnter(Control(*window, "Option2"));
    QCOMPARE(pointer.state(), State::Hand);
    SendMove(Control<QTreeView>(*window, "ListView1")->viewport(), QPoint(5, 5));
    QCOMPARE(pointer.state(), State::Normal);

    {
      quillory::qt::BusyPointer busy(pointer);
      SendEnter(Control(*window, "Check7"));
      QCOMPARE(pointer.state(), State::Busy);
      QCOMPARE(window->cursor().shape(), Qt::WaitCursor);
    }
    QCOMPARE(pointer.state(), State::Normal);
  }

  void handPointerComesFromTheProgramFolder() {
    QTemporaryDir folder;
    QFile file(folder.filePath(QStringLiteral("HAND-M.CUR")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(PointerFile(5, 7));
    file.close();
    program_folder_ = folder.path();
    auto window = Open();
    SendEnter(Control(*window, "Check5"));
    QCOMPARE(window->cursor().shape(), Qt::BitmapCursor);
    QCOMPARE(window->cursor().hotSpot(), QPoint(5, 7));

    QVERIFY(!quillory::qt::LoadPointerFile(folder.filePath(QStringLiteral("drag.ico"))));
    QFile junk(folder.filePath(QStringLiteral("junk.cur")));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("not a pointer image at all");
    junk.close();
    QVERIFY(!quillory::qt::LoadPointerFile(junk.fileName()));
  }

  void addFilesAndClearList() {
    auto window = Open();
    dialogs_->ScriptFiles({QStringLiteral("/data/a.xls"), QStringLiteral("/data/b.xlsx")});
    dialogs_->ScriptFiles({});
    dialogs_->ScriptFiles({QStringLiteral("/data/a.xls")});
    for (int i = 0; i < 3; ++i) Control(*window, "Check1")->click();
    QCOMPARE(window->files().Paths(), QStringList({"/data/a.xls", "/data/b.xlsx", "/data/a.xls"}));
    QVERIFY(!Control(*window, "Check1")->isChecked());
    const auto& dialog = dialogs_->shown().front();
    QCOMPARE(dialog.kind, Dialogs::BoxKind::OpenFiles);
    QCOMPARE(dialog.text, QStringLiteral("Add File(s) - Hold Ctrl to select multiple files"));
    QCOMPARE(dialog.initial,
             QStringLiteral("Spreadsheet Files (*.xl* *.ods *.ots);;All Files (*)"));

    Control(*window, "Check7")->click();
    QCOMPARE(window->files().Count(), 0);
    QVERIFY(!Control(*window, "Check7")->isChecked());
  }

  void folderScanFillsTheListInTheBackground() {
    QTemporaryDir temp;
    QVERIFY(QDir(temp.path()).mkpath(QStringLiteral("sub")));
    for (const char* name : {"one.xls", "two.xlt", "~$one.xls", "sub/three.xlsx"}) {
      QFile file(temp.filePath(QString::fromLatin1(name)));
      QVERIFY(file.open(QIODevice::WriteOnly));
    }
    auto window = Open();
    QSignalSpy finished(window.get(), &MainWindow::ScanFinished);

    dialogs_->ScriptFolder(QString());  // cancelled: nothing happens
    Control(*window, "Check5")->click();
    QCOMPARE(window->scans_running(), 0);
    QCOMPARE(window->pointer().state(), State::Normal);
    QCOMPARE(dialogs_->shown().back().text, QStringLiteral("Please select folder to add:"));

    dialogs_->ScriptFolder(temp.path());
    dialogs_->ScriptFolder(temp.path());
    Control(*window, "Check5")->click();
    Control(*window, "Check5")->click();
    QCOMPARE(window->pointer().state(), State::Busy);
    QVERIFY(!Control(*window, "Check5")->isChecked());
    QTRY_COMPARE(finished.count(), 2);
    QCOMPARE(window->pointer().state(), State::Normal);
    const QString root = temp.path() + QLatin1Char('/');
    const QStringList once = {root + "one.xls", root + "two.xlt", root + "sub/three.xlsx"};
    QCOMPARE(window->files().Paths(), once + once);
  }

  void droppedFoldersAreScannedAndAnEmptyScanSaysSo() {
    QTemporaryDir temp;
    QVERIFY(QDir(temp.path()).mkpath(QStringLiteral("empty")));
    for (const char* name : {"one.ods", "two.ots", "notes.txt"}) {
      QFile file(temp.filePath(QString::fromLatin1(name)));
      QVERIFY(file.open(QIODevice::WriteOnly));
    }
    auto window = Open();
    QSignalSpy finished(window.get(), &MainWindow::ScanFinished);
    auto* list = Control<quillory::ui::FileListView>(*window, "ListView1");
    emit list->FoldersDropped({temp.path(), temp.filePath(QStringLiteral("empty"))});
    QTRY_COMPARE(finished.count(), 2);
    const QString root = temp.path() + QLatin1Char('/');
    QCOMPARE(window->files().Paths(), QStringList({root + "one.ods", root + "two.ots"}));
    QCOMPARE(dialogs_->shown().size(), 1u);
    QCOMPARE(dialogs_->shown().front().text,
             QStringLiteral("No workbooks were found in %1 or the folders below it.")
                 .arg(temp.filePath(QStringLiteral("empty"))));
  }

  void helpShowsTheReadmeAndAboutTheVersionLibrariesAndHomePage() {
    auto window = Open();
    Control(*window, "Help")->click();
    auto* help = window->findChild<quillory::ui::HelpWindow*>();
    QVERIFY(help && help->isVisible());
    QVERIFY(!help->isModal());
    const QString readme = help->findChild<QTextBrowser*>("HelpText")->toPlainText();
    QVERIFY2(readme.contains(QStringLiteral("rewrites the cells of spreadsheet workbooks")),
             qPrintable(readme.left(200)));
    QVERIFY(readme.contains(QStringLiteral("home page")));
    const QString about = help->findChild<QTextBrowser*>("AboutText")->toPlainText();
    QVERIFY(
        about.contains(QStringLiteral("Quillory ") +
                       QString::fromUtf8(quillory::kVersion.data(), quillory::kVersion.size())));
    for (const char* part : {"Qt 6", "LGPL-3.0", "libzip", "BSD-3-Clause", "pugixml", "MIT",
                             "LibreOffice", "MPL-2.0", "CLI11", "about one start in a hundred"}) {
      QVERIFY2(about.contains(QString::fromLatin1(part)), part);
    }
    QVERIFY(about.contains(quillory::ui::kHomePage));
    // One help window; the next press brings it back.
    Control(*window, "Help")->click();
    QCOMPARE(window->findChildren<quillory::ui::HelpWindow*>().size(), 1);
    window->close();
    QVERIFY(!help->isVisible());
  }

  void theCurrentLanguageIsShownAfterItIsChosen() {
    store_->WriteSetting("Languages", "Français;");
    auto window = Open();
    auto* label = Control<QLabel>(*window, "CurrentLanguage");
    QCOMPARE(label->text(), QStringLiteral("Language: English"));
    QTimer::singleShot(0, [] {
      auto* chooser = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (!chooser) return;
      chooser->findChild<QComboBox*>("Combo1")->setCurrentIndex(1);
      chooser->findChild<QAbstractButton*>("Check1")->click();
    });
    Control(*window, "Check9")->click();
    QCOMPARE(label->text(), QStringLiteral("Language: Français"));
    QCOMPARE(window->CurrentLanguageName(), QStringLiteral("Français"));
  }

  void closingTheWindowStopsItsFolderScans() {
    // A scan left running would keep the program alive, windowless, until it ends.
    QTemporaryDir temp;
    for (int i = 0; i < 50; ++i) {
      for (int j = 0; j < 100; ++j) {
        QVERIFY(QDir(temp.path()).mkpath(QStringLiteral("d%1/s%2").arg(i).arg(j)));
      }
    }
    auto window = Open();
    dialogs_->ScriptFolder(temp.path());
    Control(*window, "Check5")->click();
    QCOMPARE(window->scans_running(), 1);
    window.reset();
    QVERIFY(QThreadPool::globalInstance()->waitForDone(100));
  }

  void screenshotShowsEveryCaptionWhole() {
    auto window = Open();
    window->files().Append(
        QStringLiteral("/home/user/Documents/Accounts/2026/Quarterly report "
                       "with a rather long name that does not fit.xlsx"));
    window->files().Append(QStringLiteral("/home/user/Documents/Prices.xls"));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
      const QSize needed = button->sizeHint();
      QVERIFY2(button->width() >= needed.width() && button->height() >= needed.height(),
               qPrintable(button->objectName()));
      QVERIFY2(window->rect().contains(button->geometry().translated(
                   button->parentWidget()->mapTo(window.get(), QPoint()))),
               qPrintable(button->objectName()));
    }
    const QString path = QStringLiteral(QUILLORY_TEST_OUTPUT "/main_window.png");
    QVERIFY(window->grab().save(path));
    qInfo("screenshot: %s", qPrintable(path));
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
