// Every text of every window stays readable under a light and a dark colour scheme.
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>
#include <cmath>

#include "engine/settings.h"
#include "engine/words.h"
#include "platform/qt/block_picker.h"
#include "platform/qt/dialogs.h"
#include "platform/qt/run_report_window.h"
#include "platform/spellout/numbertext_speakers.h"
#include "tests/workbook/fake_workbook.h"
#include "ui/common/picture_button.h"
#include "ui/common/window_look.h"
#include "ui/languages/default_language_window.h"
#include "ui/languages/language_editor.h"
#include "ui/main/file_list_model.h"
#include "ui/main/help_window.h"
#include "ui/main/main_window.h"
#include "ui/main/run_progress_window.h"

using namespace quillory;

namespace {

double Luminance(const QColor& colour) {
  const auto channel = [](double value) {
    return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
         0.0722 * channel(colour.blueF());
}

// The contrast ratio of two colours, 1 (none) to 21 (black on white).
double Contrast(const QColor& a, const QColor& b) {
  const double la = Luminance(a);
  const double lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// A dark scheme as the "darker" colour scheme of the desktop's Qt settings has it.
QPalette DarkScheme() {
  QPalette dark;
  dark.setColor(QPalette::Window, QColor(0x42, 0x42, 0x42));
  dark.setColor(QPalette::WindowText, QColor(0xef, 0xef, 0xef));
  dark.setColor(QPalette::Base, QColor(0x30, 0x30, 0x30));
  dark.setColor(QPalette::AlternateBase, QColor(0x3a, 0x3a, 0x3a));
  dark.setColor(QPalette::Text, QColor(0xef, 0xef, 0xef));
  dark.setColor(QPalette::Button, QColor(0x4a, 0x4a, 0x4a));
  dark.setColor(QPalette::ButtonText, QColor(0xef, 0xef, 0xef));
  dark.setColor(QPalette::Light, QColor(0x60, 0x60, 0x60));
  dark.setColor(QPalette::Midlight, QColor(0x55, 0x55, 0x55));
  dark.setColor(QPalette::Mid, QColor(0x38, 0x38, 0x38));
  dark.setColor(QPalette::Dark, QColor(0x24, 0x24, 0x24));
  dark.setColor(QPalette::Shadow, Qt::black);
  dark.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
  dark.setColor(QPalette::HighlightedText, Qt::white);
  dark.setColor(QPalette::ToolTipBase, QColor(0x30, 0x30, 0x30));
  dark.setColor(QPalette::ToolTipText, QColor(0xef, 0xef, 0xef));
  for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
    dark.setColor(QPalette::Disabled, role, QColor(0x90, 0x90, 0x90));
  }
  return dark;
}

// The strongest contrast between the caption area of a picture button, as drawn, and its face.
double CaptionContrast(QWidget* button) {
  const QImage image = button->grab().toImage();
  const qreal ratio = image.devicePixelRatio();
  const QColor face = image.pixelColor(static_cast<int>(4 * ratio), image.height() / 2);
  double best = 1;
  for (int y = static_cast<int>(40 * ratio); y < image.height() - static_cast<int>(5 * ratio);
       ++y) {
    for (int x = static_cast<int>(6 * ratio); x < image.width() - static_cast<int>(6 * ratio);
         ++x) {
      best = std::max(best, Contrast(image.pixelColor(x, y), face));
    }
  }
  return best;
}

// Every visible control with a text in `window`, checked for its colours as drawn.
void CheckReadable(QWidget* window, const char* scheme) {
  window->show();
  QVERIFY(QTest::qWaitForWindowExposed(window));
  int checked = 0;
  for (QWidget* widget : window->findChildren<QWidget*>()) {
    // Controls that take no input are drawn faint on purpose; they hold no text here.
    if (!widget->isVisible() || !widget->isEnabled()) continue;
    const QPalette palette = widget->palette();
    const QString what = QStringLiteral("%1 %2 %3 under the %4 scheme")
                             .arg(window->objectName(), widget->metaObject()->className(),
                                  widget->objectName(), QString::fromLatin1(scheme));
    const auto expect = [&](QPalette::ColorRole text, QPalette::ColorRole ground) {
      const double contrast = Contrast(palette.color(text), palette.color(ground));
      QVERIFY2(contrast >= 4.5, qPrintable(what + QStringLiteral(": contrast %1").arg(contrast)));
      ++checked;
    };
    if (qobject_cast<ui::PictureButton*>(widget)) {
      const double contrast = CaptionContrast(widget);
      QVERIFY2(contrast >= 4.5, qPrintable(what + QStringLiteral(": contrast %1").arg(contrast)));
      ++checked;
    } else if (qobject_cast<QPushButton*>(widget)) {
      expect(QPalette::ButtonText, QPalette::Button);
    } else if (qobject_cast<QLabel*>(widget) || qobject_cast<QRadioButton*>(widget) ||
               qobject_cast<QCheckBox*>(widget) || qobject_cast<QGroupBox*>(widget)) {
      expect(QPalette::WindowText, QPalette::Window);
    } else if (qobject_cast<QLineEdit*>(widget) || qobject_cast<QComboBox*>(widget) ||
               qobject_cast<QAbstractItemView*>(widget)) {
      expect(QPalette::Text, QPalette::Base);
    }
  }
  QVERIFY(checked > 0);
  window->hide();
}

}  // namespace

class LookTest : public QObject {
  Q_OBJECT

 private:
  void CheckEveryWindow(const char* scheme) {
    MemorySettings store;
    store.WriteSetting("Languages", "Français;");
    WordSource words(store);
    qt::Dialogs dialogs;
    dialogs.SetScripted();

    ui::MainWindow main(store, words, dialogs, {});
    main.files().Append(QStringLiteral("/w/book.xlsx"));
    CheckReadable(&main, scheme);

    // With a built-in language: its currency chooser beside the kinds.
    MemorySettings built_in_store;
    built_in_store.WriteSetting("Default Language", "Français (fr)");
    spellout::NumbertextSpeakers speakers;
    WordSource built_in_words(built_in_store, &speakers);
    ui::MainWindow with_currency(built_in_store, built_in_words, dialogs, {});
    QVERIFY(with_currency.findChild<QComboBox*>("Combo1")->isVisibleTo(&with_currency));
    CheckReadable(&with_currency, scheme);

    ui::LanguageEditor editor(store, dialogs);
    editor.findChild<QComboBox*>("Combo1")->setCurrentIndex(0);
    CheckReadable(&editor, scheme);
    ui::LanguageEditor nothing_chosen(store, dialogs);  // the word boxes are disabled
    CheckReadable(&nothing_chosen, scheme);
    ui::DefaultLanguageWindow chooser(store, words);
    CheckReadable(&chooser, scheme);

    ui::RunProgressWindow progress;
    progress.Show(1, 2, QStringLiteral("/w/book.xlsx"), 10, 20);
    CheckReadable(&progress, scheme);
    workbook::RunReport report;
    report.summary = "Done.";
    report.messages.push_back({"/w/book.xlsx", "S", "A1", "x does not appear to be a number", "x",
                               "does not appear to be a number"});
    qt::RunReportWindow report_window(report, dialogs);
    CheckReadable(&report_window, scheme);
    ui::HelpWindow help;
    CheckReadable(&help, scheme);

    workbook::testing::FakeOffice office;
    office.files["/w/book.xlsx"] = {{workbook::testing::MakeSheet("S", {{"1"}})}, 0};
    auto book = office.Factory()("/w/book.xlsx")->Open("/w/book.xlsx");
    qt::BlockPickerDialog picker(*book);
    CheckReadable(&picker, scheme);
  }

 private slots:
  void initTestCase() { QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion"))); }

  void lightSchemeKeepsTheDesignedWhiteWithBlackText() {
    QApplication::setPalette(QApplication::style()->standardPalette());
    CheckEveryWindow("light");
    MemorySettings store;
    WordSource words(store);
    qt::Dialogs dialogs;
    ui::MainWindow main(store, words, dialogs, {});
    QCOMPARE(main.palette().color(QPalette::Window), QColor(Qt::white));
    QCOMPARE(main.palette().color(QPalette::WindowText), QColor(Qt::black));
  }

  void darkSchemeIsReadableEverywhere() {
    QApplication::setPalette(DarkScheme());
    CheckEveryWindow("dark");
    MemorySettings store;
    WordSource words(store);
    qt::Dialogs dialogs;
    ui::MainWindow main(store, words, dialogs, {});
    QVERIFY(ui::IsDarkScheme(main.palette()));
  }
};

QTEST_MAIN(LookTest)
#include "look_test.moc"
