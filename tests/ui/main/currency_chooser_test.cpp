// The currency chooser beside the kinds: shown for a built-in language, its choice stored and
// used by the run, with the same words as the command line.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QTest>

#include <sstream>

#include "cli/cli.h"
#include "engine/settings.h"
#include "engine/words.h"
#include "platform/qt/dialogs.h"
#include "platform/spellout/numbertext_speakers.h"
#include "tests/workbook/fake_workbook.h"
#include "ui/main/file_list_model.h"
#include "ui/main/main_window.h"

using quillory::MemorySettings;
using quillory::WordSource;
using quillory::qt::Dialogs;
using quillory::ui::MainWindow;
using quillory::workbook::RunReport;
using quillory::workbook::testing::FakeFile;
using quillory::workbook::testing::FakeOffice;
using quillory::workbook::testing::MakeSheet;

class CurrencyChooserTest : public QObject {
  Q_OBJECT

 private:
  quillory::spellout::NumbertextSpeakers speakers_;
  std::unique_ptr<MemorySettings> store_;
  std::unique_ptr<WordSource> words_;
  std::unique_ptr<Dialogs> dialogs_;
  FakeOffice office_;
  std::unique_ptr<MainWindow> window_;
  std::optional<RunReport> report_;

  void Open() {
    window_.reset();
    quillory::ui::MainWindowServices services;
    services.open_application = office_.Factory();
    services.spreadsheet_in_use = [](const std::vector<std::string>&) { return false; };
    window_ = std::make_unique<MainWindow>(*store_, *words_, *dialogs_, std::move(services));
    connect(window_.get(), &MainWindow::RunFinished, this,
            [this](const RunReport& report) { report_ = report; });
  }

  template <typename T = QWidget>
  T* Control(const char* name) {
    T* control = window_->findChild<T*>(QString::fromLatin1(name));
    if (!control) qFatal("no control %s", name);
    return control;
  }
  QComboBox* Chooser() { return Control<QComboBox>("Combo1"); }

  QStringList Codes() {
    QStringList codes;
    for (int i = 0; i < Chooser()->count(); ++i) codes << Chooser()->itemData(i).toString();
    return codes;
  }

  // Chooses `code` as the user does: an entry activated in the list.
  void Choose(const QString& code) {
    const int index = Chooser()->findData(code);
    if (index < 0) qFatal("no currency %s", qPrintable(code));
    Chooser()->setCurrentIndex(index);
    emit Chooser()->activated(index);
  }

  // Converts one cell showing `text` from the window as currency; its text afterwards.
  std::string ConvertFromWindow(const std::string& text) {
    office_.files["/w/book.xlsx"] = FakeFile{{MakeSheet("Sheet1", {{text}})}, 0, false, false};
    window_->files().Clear();
    window_->files().Append(QStringLiteral("/w/book.xlsx"));
    Control<QRadioButton>("Option2")->click();
    report_.reset();
    window_->findChild<QAbstractButton*>(QStringLiteral("Check2"))->click();
    if (!QTest::qWaitFor([this] { return report_.has_value(); }, 10000)) qFatal("no end");
    return office_.files.at("/w/book.xlsx").sheets.at(0).cells.at({1, 1}).text;
  }

  std::string ConvertOnCommandLine(const std::vector<std::string>& args) {
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    quillory::CliEnvironment env{*store_, in};
    env.speakers = &speakers_;
    if (quillory::RunCli(args, out, err, env) != 0) qFatal("%s", err.str().c_str());
    std::string words = out.str();
    if (!words.empty() && words.back() == '\n') words.pop_back();
    return words;
  }

 private slots:
  void init() {
    store_ = std::make_unique<MemorySettings>();
    store_->WriteSetting("BackupCheck", "False");  // the workbooks only exist in memory
    words_ = std::make_unique<WordSource>(*store_, &speakers_);
    dialogs_ = std::make_unique<Dialogs>();
    dialogs_->SetScripted();
    office_ = FakeOffice();
  }

  void cleanup() { window_.reset(); }

  void hiddenForEnglishAndStoredLanguages() {
    Open();
    QVERIFY(!Chooser()->isVisibleTo(window_.get()));
    QVERIFY(window_->CurrentCurrency().isEmpty());
    // A stored language named like a built-in one is the stored language.
    store_->WriteSetting("Languages", "fr;");
    store_->WriteSetting("Default Language", "fr");
    Open();
    QVERIFY(!Chooser()->isVisibleTo(window_.get()));
    QVERIFY(window_->CurrentCurrency().isEmpty());
    // Its words are the stored ones: none typed yet, so the amount stays as it was.
    QCOMPARE(ConvertFromWindow("2"), std::string("2"));
  }

  void showsTheLanguagesCurrenciesWithItsOwnChosen() {
    store_->WriteSetting("Default Language", "Français (fr)");
    Open();
    QVERIFY(Chooser()->isVisibleTo(window_.get()));
    QCOMPARE(Codes(), QStringList({"BIF", "CAD", "CDF", "CHF", "DJF", "DZD", "EUR", "GBP",
                                   "GNF", "HTF", "KMF", "LBP", "MAD", "MGA", "MRO", "MUR",
                                   "RWF", "SCR", "TND", "USD", "VUV", "XPF"}));
    QCOMPARE(Chooser()->currentText(), QString("EUR – Euro"));
    QCOMPARE(Chooser()->itemText(Chooser()->findData("HTF")), QString("HTF"));  // no name known
    QVERIFY(!store_->HasSetting("Currency"));                                   // shown, not stored

    Choose("GBP");
    QCOMPARE(store_->ReadSetting("Currency", ""), std::string("GBP"));
    Open();
    QCOMPARE(window_->CurrentCurrency(), QString("GBP"));

    // A stored currency the language has no words for: the language's own is shown and used,
    // and the stored one stays for the languages that have it.
    store_->WriteSetting("Currency", "INR");
    Open();
    QCOMPARE(window_->CurrentCurrency(), QString("EUR"));
    QCOMPARE(ConvertFromWindow("5"), std::string("cinq euros"));
    QCOMPARE(store_->ReadSetting("Currency", ""), std::string("INR"));
    store_->WriteSetting("Default Language", "en-IN");
    Open();
    QCOMPARE(window_->CurrentCurrency(), QString("INR"));

    // A language without currency words shows that, and takes no choice.
    store_->WriteSetting("Default Language", "Luganda (lg)");
    Open();
    QVERIFY(Chooser()->isVisibleTo(window_.get()));
    QVERIFY(!Chooser()->isEnabled());
    QVERIFY(window_->CurrentCurrency().isEmpty());
  }

  void theRunSaysWhatTheCommandLineSays() {
    store_->WriteSetting("Default Language", "Français (fr)");
    Open();
    Choose("EUR");
    const std::string words = ConvertFromWindow("71.01");
    QCOMPARE(words, std::string("soixante-et-onze euros et un centime"));
    QCOMPARE(words, ConvertOnCommandLine(
                        {"words", "--currency", "--language", "fr", "--unit", "EUR", "71.01"}));

    // The chosen currency is the run's; a symbol naming one currency still wins.
    Choose("CHF");
    QCOMPARE(ConvertFromWindow("2"), ConvertOnCommandLine({"words", "--currency", "--language",
                                                           "fr", "--unit", "CHF", "2"}));
    QCOMPARE(ConvertFromWindow("2"), std::string("deux francs suisses"));
    QCOMPARE(ConvertFromWindow("€2"), std::string("deux euros"));
    // The chosen currency stays for the next built-in language that has words for it.
    store_->WriteSetting("Default Language", "Deutsch (de)");
    Open();
    QCOMPARE(window_->CurrentCurrency(), QString("CHF"));
    QCOMPARE(ConvertFromWindow("21"), std::string("einundzwanzig Schweizer Franken"));
  }

  void reachedByItsMnemonicAndInReadingOrder() {
    store_->WriteSetting("Default Language", "Deutsch (de)");
    Open();
    window_->show();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    QCOMPARE(Control<QLabel>("Label1")->text(), QString("C&urrency:"));
    QCOMPARE(Control<QLabel>("Label1")->buddy(), Chooser());
    QTest::keyClick(window_.get(), Qt::Key_U, Qt::AltModifier);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(Chooser()));
    // After the kinds, before the scopes.
    Control<QRadioButton>("Option6")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    // Option6 is not checked, so Tab from it lands on the next control that takes it.
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(Chooser()));
    QTest::keyClick(Chooser(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(Control("Option3")));
  }
};

QTEST_MAIN(CurrencyChooserTest)
#include "currency_chooser_test.moc"
