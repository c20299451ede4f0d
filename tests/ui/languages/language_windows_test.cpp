#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QTest>
#include <QTimer>

#include "engine/builtin_languages.h"
#include "engine/languages.h"
#include "engine/number_words.h"
#include "engine/settings.h"
#include "platform/qt/dialogs.h"
#include "ui/languages/default_language_window.h"
#include "ui/languages/language_editor.h"
#include "ui/languages/language_windows.h"

using namespace quillory;
using namespace quillory::ui;

namespace {

template <typename T>
T* Find(QWidget& window, const QString& name) {
  T* child = window.findChild<T*>(name);
  if (!child) qFatal("no control %s", qPrintable(name));
  return child;
}

QComboBox* Combo(QWidget& window) {
  return Find<QComboBox>(window, "Combo1");
}
QLineEdit* Box(QWidget& window, int number) {
  return Find<QLineEdit>(window, QStringLiteral("Text%1").arg(number));
}

QStringList Entries(QComboBox* combo) {
  QStringList entries;
  for (int i = 0; i < combo->count(); ++i) entries << combo->itemText(i);
  return entries;
}

// The entries other than the built-in languages, which follow English and the stored ones.
QStringList WithoutBuiltIns(const QStringList& entries) {
  QStringList kept;
  for (const QString& entry : entries) {
    const BuiltInLanguage* built_in = FindBuiltInLanguage(entry.toStdString());
    if (!built_in || QString::fromStdString(BuiltInDisplayName(*built_in)) != entry) kept << entry;
  }
  return kept;
}

// Chooses the entry at `index`, as the user does from the list.
void Choose(QWidget& window, int index) {
  Combo(window)->setCurrentIndex(index);
}

void Press(QWidget& window, const QString& button) {
  QTest::mouseClick(Find<QAbstractButton>(window, button), Qt::LeftButton);
}

void AddName(QWidget& editor, const QString& name) {
  Box(editor, 1)->setText(name);
  Press(editor, "Check1");
}

void Type(QLineEdit* box, const QString& text) {
  box->clear();
  QTest::keyClicks(box, text);
}

std::string Read(const SettingsStore& store, std::string_view key) {
  return store.ReadSetting(key, "<absent>");
}

// An editor whose boxes are scripted: questions are answered from `dialogs`, messages kept.
struct Editor {
  explicit Editor(SettingsStore& store) : window(store, dialogs) { dialogs.SetScripted(); }
  QStringList Messages() const {
    QStringList texts;
    for (const qt::Dialogs::Shown& shown : dialogs.shown()) {
      if (shown.kind == qt::Dialogs::BoxKind::Message) texts << shown.text;
    }
    return texts;
  }
  qt::Dialogs dialogs;
  LanguageEditor window;
};

bool BoxesTakeInput(QWidget& editor) {
  for (int n = 2; n <= 38; ++n) {
    if (!Box(editor, n)->isEnabled()) return false;
  }
  return true;
}

}  // namespace

class LanguageWindowsTest : public QObject {
  Q_OBJECT

 private slots:
  void editorOpensWithTheListedNamesAndNothingSelected() {
    MemorySettings store;
    store.WriteSetting("Languages", "French;Spanish;German");  // no final ";": German is lost
    Editor editor(store);
    QCOMPARE(Entries(Combo(editor.window)), QStringList({"French", "Spanish"}));
    QCOMPARE(Combo(editor.window)->currentIndex(), -1);
    QVERIFY(!Combo(editor.window)->isEditable());
    for (int n = 1; n <= 38; ++n) QVERIFY(Box(editor.window, n)->text().isEmpty());
    // No language chosen: the word boxes take no input, so nothing typed can be lost.
    for (int n = 2; n <= 38; ++n) QVERIFY(!Box(editor.window, n)->isEnabled());
    QVERIFY(Box(editor.window, 1)->isEnabled());
    QCOMPARE(editor.window.windowTitle(), QString("Languages"));

    // The next deletion rewrites the list without the lost name.
    Choose(editor.window, 0);
    QVERIFY(BoxesTakeInput(editor.window));
    editor.dialogs.ScriptYesNo(true);
    Press(editor.window, "Check2");
    QCOMPARE(Read(store, "Languages"), "Spanish;");
  }

  void addingFollowsTheListRulesAndChoosesTheNewLanguage() {
    MemorySettings store;
    Editor editor(store);
    QComboBox* combo = Combo(editor.window);

    AddName(editor.window, "");
    QCOMPARE(editor.Messages(), QStringList({"You forgot to input language"}));
    QCOMPARE(editor.dialogs.shown().size(), 1u);
    QCOMPARE(Read(store, "Languages"), "<absent>");

    AddName(editor.window, "French");
    QCOMPARE(Read(store, "Languages"), "French;");
    QVERIFY(Box(editor.window, 1)->text().isEmpty());
    QCOMPARE(combo->currentText(), QString("French"));  // chosen at once, ready for its words
    QVERIFY(BoxesTakeInput(editor.window));

    AddName(editor.window, "French");  // ignored silently, the name stays typed
    QCOMPARE(Read(store, "Languages"), "French;");
    QCOMPARE(Box(editor.window, 1)->text(), QString("French"));

    Type(Box(editor.window, 2), "Un");
    QCOMPARE(Read(store, "One_French"), "Un");
    AddName(editor.window, "french");  // letter case makes another language
    QCOMPARE(Box(editor.window, 2)->text(), QString());
    AddName(editor.window, " ");  // spaces only are not empty, but hold no words
    QVERIFY(!Box(editor.window, 2)->isEnabled());
    AddName(editor.window, "  Old Norse ");
    AddName(editor.window, "English");
    QCOMPARE(Read(store, "Languages"), "French;french; ;  Old Norse ;English;");
    QCOMPARE(Entries(combo), QStringList({"French", "french", " ", "  Old Norse ", "English"}));
    QCOMPARE(combo->currentText(), QString("English"));
    QCOMPARE(editor.Messages().size(), 1);

    // ";" separates the stored names: a name holding it would come back as two.
    AddName(editor.window, "a;b");
    QCOMPARE(editor.Messages().last(),
             QString("A language name cannot contain \";\": it separates the names in the list "
                     "of languages."));
    QCOMPARE(Read(store, "Languages"), "French;french; ;  Old Norse ;English;");
    QCOMPARE(Box(editor.window, 1)->text(), QString("a;b"));
    QCOMPARE(combo->count(), 5);

    // Enter in the name box adds too; a language added again finds its old words.
    Choose(editor.window, 0);
    editor.dialogs.ScriptYesNo(true);
    Press(editor.window, "Check2");
    Box(editor.window, 1)->setText("French");
    QTest::keyClick(Box(editor.window, 1), Qt::Key_Return);
    QCOMPARE(combo->currentText(), QString("French"));
    QCOMPARE(Box(editor.window, 2)->text(), QString("Un"));
    QCOMPARE(Read(store, "Languages"), "french;;Old Norse;English;French;");
  }

  void wordsAreShownAndStoredUnderTheSelectedName() {
    MemorySettings store;
    store.WriteSetting("Languages", "French;Old Norse ;");
    store.WriteSetting("Nine_French", "neuf");
    store.WriteSetting("Ten_French", " dix ");
    store.WriteSetting("No_French", "");
    Editor editor(store);

    QVERIFY(!Box(editor.window, 2)->isEnabled());  // nothing chosen: nothing can be typed

    Choose(editor.window, 0);
    QCOMPARE(Box(editor.window, 10)->text(), QString("neuf"));
    QCOMPARE(Box(editor.window, 20)->text(), QString(" dix "));
    QCOMPARE(Box(editor.window, 2)->text(), QString());  // never typed: empty, no English word
    // Loading writes every word back unchanged.
    QCOMPARE(Read(store, "Nine_French"), "neuf");
    QCOMPARE(Read(store, "Ten_French"), " dix ");
    QCOMPARE(Read(store, "One_French"), "");

    // Each box belongs to its own stem, the two optional words included.
    const char* stems[] = {
        "One_",      "Two_",       "Three_",    "Four_",     "Five_",     "Six_",      "Seven_",
        "Eight_",    "Nine_",      "Eleven_",   "Twelve_",   "Thirteen_", "Fourteen_", "Fifteen_",
        "Sixteen_",  "Seventeen_", "Eighteen_", "Nineteen_", "Ten_",      "Twenty_",   "Thirty_",
        "Forty_",    "Fifty_",     "Sixty_",    "Seventy_",  "Eighty_",   "Ninety_",   "Hundred_",
        "Thousand_", "Million_",   "Billion_",  "Trillion_", "Point_",    "And_",      "No_",
        "Zero_",     "Minus_"};
    for (int n = 2; n <= 38; ++n) Type(Box(editor.window, n), QStringLiteral(" w%1 ").arg(n));
    for (int n = 2; n <= 38; ++n) {
      QCOMPARE(Read(store, std::string(stems[n - 2]) + "French"),
               QStringLiteral(" w%1 ").arg(n).toStdString());
    }
    QCOMPARE(Find<QLabel>(editor.window, "Label1_37")->text(), QString("Zero:"));
    QCOMPARE(Find<QLabel>(editor.window, "Label1_38")->text(), QString("Minus:"));

    Type(Box(editor.window, 10), "");  // an emptied box is stored as empty
    QCOMPARE(Read(store, "Nine_French"), "");

    // The name is used untrimmed in the keys.
    Choose(editor.window, 1);
    QCOMPARE(Box(editor.window, 2)->text(), QString());
    Type(Box(editor.window, 2), "einn");
    QCOMPARE(Read(store, "One_Old Norse "), "einn");
    QCOMPARE(Read(store, "One_Old Norse"), "<absent>");
  }

  void aBlankNameLoadsAndStoresNothing() {
    MemorySettings store;
    store.WriteSetting("Languages", "French; ;");
    store.WriteSetting("One_French", "un");
    Editor editor(store);
    Choose(editor.window, 0);
    QCOMPARE(Box(editor.window, 2)->text(), QString("un"));
    Choose(editor.window, 1);
    QCOMPARE(Box(editor.window, 2)->text(), QString());  // a blank name holds no words
    QVERIFY(!Box(editor.window, 3)->isEnabled());
    QCOMPARE(Read(store, "Two_ "), "<absent>");
    QCOMPARE(Read(store, "Two_French"), "");
  }

  void deletingRebuildsTheListAndKeepsTheWords() {
    MemorySettings store;
    store.WriteSetting("Languages", " Spanish ;French;German;");
    store.WriteSetting("One_French", "un");
    Editor editor(store);

    Press(editor.window, "Check2");  // nothing selected: nothing happens, nothing is asked
    QCOMPARE(Read(store, "Languages"), " Spanish ;French;German;");
    QVERIFY(editor.dialogs.shown().empty());

    Choose(editor.window, 1);
    editor.dialogs.ScriptYesNo(false);  // asked first; No keeps it
    Press(editor.window, "Check2");
    QCOMPARE(editor.dialogs.shown().back().kind, qt::Dialogs::BoxKind::YesNo);
    QCOMPARE(editor.dialogs.shown().back().text,
             QString("Delete the language \"French\"?\n\nIts words stay stored: adding the "
                     "same name again brings them back."));
    QCOMPARE(Read(store, "Languages"), " Spanish ;French;German;");
    QCOMPARE(Combo(editor.window)->currentText(), QString("French"));

    editor.dialogs.ScriptYesNo(true);
    Press(editor.window, "Check2");
    QCOMPARE(Read(store, "Languages"), "Spanish;German;");  // rebuilt trimmed
    QCOMPARE(Entries(Combo(editor.window)), QStringList({" Spanish ", "German"}));
    QCOMPARE(Combo(editor.window)->currentIndex(), -1);
    QCOMPARE(Box(editor.window, 2)->text(), QString());  // no language: no words shown
    QVERIFY(!Box(editor.window, 2)->isEnabled());
    QCOMPARE(Read(store, "One_French"), "un");  // the words stay stored

    // Adding the name again finds its words.
    AddName(editor.window, "French");
    QCOMPARE(Read(store, "Languages"), "Spanish;German;French;");
    QCOMPARE(Combo(editor.window)->currentIndex(), 2);

    Choose(editor.window, 2);
    QCOMPARE(Box(editor.window, 2)->text(), QString("un"));

    // Another program adds a name while the window is open: deleting here keeps it.
    store.WriteSetting("Languages", "Spanish;German;French;Basque;");
    Choose(editor.window, 1);
    editor.dialogs.ScriptYesNo(true);
    Press(editor.window, "Check2");
    QCOMPARE(Read(store, "Languages"), "Spanish;French;Basque;");

    // Deleting the only language leaves an empty list.
    MemorySettings single;
    single.WriteSetting("Languages", "French;");
    Editor only(single);
    Choose(only.window, 0);
    only.dialogs.ScriptYesNo(true);
    Press(only.window, "Check2");
    QCOMPARE(Read(single, "Languages"), "");
    QCOMPARE(Combo(only.window)->count(), 0);
  }

  void aWordTypedInTheEditorAppliesToTheNextCell() {
    MemorySettings store;
    store.WriteSetting("Languages", "French;");
    store.WriteSetting("Default Language", "French");
    store.WriteSetting("One_French", "Un");
    WordSource words(store);
    DefaultLanguageWindow opened(store, words);  // opening makes the default current
    QCOMPARE(words.CurrentLanguage(), std::string("French"));
    QCOMPARE(NumberToWords("1", words.Words()), std::string("Un"));

    Editor editor(store);
    Choose(editor.window, 0);
    Type(Box(editor.window, 2), "Une");
    QCOMPARE(NumberToWords("1", words.Words()), std::string("Une"));

    // Deleting the current language keeps it current, with its words.
    editor.dialogs.ScriptYesNo(true);
    Press(editor.window, "Check2");
    QCOMPARE(Read(store, "Languages"), "");
    QCOMPARE(words.CurrentLanguage(), std::string("French"));
    QCOMPARE(Read(store, "Default Language"), "French");
    QCOMPARE(NumberToWords("1", words.Words()), std::string("Une"));

    // The default window still shows it, as an extra entry, and keeps it current.
    DefaultLanguageWindow reopened(store, words);
    QCOMPARE(WithoutBuiltIns(Entries(Combo(reopened))), QStringList({"English", "French"}));
    QCOMPARE(Combo(reopened)->currentText(), QString("French"));
    QCOMPARE(words.CurrentLanguage(), std::string("French"));
  }

  void defaultWindowSelectsTheStoredDefault_data() {
    QTest::addColumn<QString>("languages");
    QTest::addColumn<QString>("stored");  // "<absent>": no default stored
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<int>("selected");

    QTest::newRow("nothing stored") << "French;"
                                    << "<absent>" << QStringList{"English", "French"} << 0;
    QTest::newRow("empty default") << "French;"
                                   << "" << QStringList{"English", "French"} << 0;
    QTest::newRow("built-in") << "French;"
                              << "English" << QStringList{"English", "French"} << 0;
    QTest::newRow("stored language") << "French;German;"
                                     << "German" << QStringList{"English", "French", "German"} << 2;
    QTest::newRow("case counts") << "french;French;"
                                 << "French" << QStringList{"English", "french", "French"} << 2;
    QTest::newRow("untrimmed") << " Spanish ;"
                               << " Spanish " << QStringList{"English", " Spanish "} << 1;
    QTest::newRow("no final separator") << "French;German"
                                        << "French" << QStringList{"English", "French"} << 1;
    QTest::newRow("deleted language shown at the end")
        << "French;"
        << "German" << QStringList{"English", "French", "German"} << 2;
    QTest::newRow("empty list, deleted language")
        << ""
        << "Dansk" << QStringList{"English", "Dansk"} << 1;
  }

  void defaultWindowSelectsTheStoredDefault() {
    QFETCH(QString, languages);
    QFETCH(QString, stored);
    QFETCH(QStringList, entries);
    QFETCH(int, selected);
    MemorySettings store;
    store.WriteSetting("Languages", languages.toStdString());
    if (stored != "<absent>") store.WriteSetting("Default Language", stored.toStdString());
    WordSource words(store);
    words.SetCurrentLanguage("Before");

    DefaultLanguageWindow window(store, words);
    QCOMPARE(window.windowTitle(), QString("Set Default Language"));
    QCOMPARE(WithoutBuiltIns(Entries(Combo(window))), entries);
    QCOMPARE(Combo(window)->currentText(), entries.at(selected));
    QVERIFY(!Combo(window)->isEditable());
    // Current at once, before any "Set"; an absent default stores nothing and means English.
    QCOMPARE(QString::fromStdString(words.CurrentLanguage()),
             stored == "<absent>" ? QString() : stored);
    QCOMPARE(store.HasSetting("Default Language"), stored != "<absent>");
  }

  void setStoresTheChoiceAndCloses() {
    MemorySettings store;
    store.WriteSetting("Languages", " Spanish ;;English;");
    WordSource words(store);

    DefaultLanguageWindow window(store, words);
    window.show();
    Choose(window, 2);  // the empty entry: nothing happens, the window stays open
    Press(window, "Check1");
    QVERIFY(window.isVisible());
    QCOMPARE(Read(store, "Default Language"), "<absent>");
    QVERIFY(!Find<QAbstractButton>(window, "Check1")->isChecked());  // each press acts once

    Choose(window, 1);
    Press(window, "Check1");
    QVERIFY(!window.isVisible());
    QCOMPARE(window.result(), int(QDialog::Accepted));
    QCOMPARE(Read(store, "Default Language"), " Spanish ");  // stored untrimmed
    QCOMPARE(words.CurrentLanguage(), std::string(" Spanish "));

    // The stored language named English is the built-in words, like the first entry.
    DefaultLanguageWindow again(store, words);
    Choose(again, 3);
    Press(again, "Check1");
    QCOMPARE(Read(store, "Default Language"), "English");
    QVERIFY(IsBuiltInEnglish(words.CurrentLanguage()));

    // A restart: a fresh current language takes the stored default at start-up.
    store.WriteSetting("One_ Spanish ", "uno");
    DefaultLanguageWindow third(store, words);
    Choose(third, 1);
    Press(third, "Check1");
    WordSource restarted(store);
    LoadDefaultLanguage(store, restarted);
    QCOMPARE(restarted.CurrentLanguage(), std::string(" Spanish "));
    QCOMPARE(NumberToWords("1", restarted.Words()), std::string("uno"));
  }

  void defaultWindowOffersTheBuiltInLanguagesAfterTheStoredOnes() {
    MemorySettings store;
    store.WriteSetting("Languages", "French;Deutsch (de);");
    WordSource words(store);

    DefaultLanguageWindow window(store, words);
    const QStringList entries = Entries(Combo(window));
    QCOMPARE(entries.mid(0, 3), QStringList({"English", "French", "Deutsch (de)"}));
    // Every built-in by its own name and code, in the order of the codes; a stored language of
    // the same name stands for it, so it is listed once.
    QStringList built_ins;
    for (const BuiltInLanguage& language : BuiltInLanguages()) {
      const QString name = QString::fromStdString(BuiltInDisplayName(language));
      if (name != "Deutsch (de)") built_ins << name;
    }
    QCOMPARE(entries.mid(3), built_ins);
    QCOMPARE(entries.count("Deutsch (de)"), 1);
    QVERIFY(entries.contains("Français (fr)"));
    QVERIFY(entries.contains("English, India (en-IN)"));

    // Chosen and remembered like any other language.
    Choose(window, static_cast<int>(entries.indexOf("Français (fr)")));
    Press(window, "Check1");
    QCOMPARE(Read(store, "Default Language"), "Français (fr)");
    QCOMPARE(words.CurrentLanguage(), std::string("Français (fr)"));
    DefaultLanguageWindow again(store, words);
    QCOMPARE(Combo(again)->currentText(), QString("Français (fr)"));

    // A default stored by its code is the entry of its name; nothing is written until "Set".
    store.WriteSetting("Default Language", "en-in");
    DefaultLanguageWindow by_code(store, words);
    QCOMPARE(Combo(by_code)->currentText(), QString("English, India (en-IN)"));
    QCOMPARE(Read(store, "Default Language"), "en-in");
    QCOMPARE(Entries(Combo(by_code)).size(), entries.size());
  }

  void editorNeverEditsABuiltInLanguage() {
    MemorySettings store;
    store.WriteSetting("Languages", "French;es;");
    Editor editor(store);
    // Only the stored languages are offered for editing.
    QCOMPARE(Entries(Combo(editor.window)), QStringList({"French", "es"}));

    // A name or code of a built-in language is refused with a message saying what to do.
    for (const QString& name : {QString("Français (fr)"), QString("fr"), QString("EN_in")}) {
      AddName(editor.window, name);
      QCOMPARE(Read(store, "Languages"), "French;es;");
      QCOMPARE(Box(editor.window, 1)->text(), name);
    }
    const QStringList messages = editor.Messages();
    QCOMPARE(messages.size(), 3);
    QCOMPARE(messages.at(0),
             QString("\"Français (fr)\" names the built-in language Français (fr), whose words "
                     "come with Quillory and cannot be edited. Choose it under \"Set Default "
                     "Language\", or give a language of your own another name."));
    QVERIFY(
        messages.at(2).startsWith("\"EN_in\" names the built-in language English, India "
                                  "(en-IN),"));

    // A stored language named like a code keeps its meaning and its words.
    AddName(editor.window, "es");
    QCOMPARE(editor.Messages().size(), 3);
    Choose(editor.window, 1);
    Type(Box(editor.window, 2), "uno");
    QCOMPARE(Read(store, "One_es"), "uno");
  }

  void theWindowsOpenModallyAndCloseByTheTitleBar() {
    MemorySettings store;
    store.WriteSetting("Languages", "French;");
    store.WriteSetting("Default Language", "French");
    WordSource words(store);
    QStringList opened;
    const auto closeWhenShown = [&opened] {
      QTimer::singleShot(0, [&opened] {
        QWidget* modal = QApplication::activeModalWidget();
        opened << (modal ? modal->windowTitle() : QString());
        if (modal) modal->close();
      });
    };
    closeWhenShown();
    qt::Dialogs dialogs;
    ShowLanguageEditor(nullptr, store, dialogs);
    closeWhenShown();
    ShowDefaultLanguage(nullptr, store, words);
    QCOMPARE(opened, QStringList({"Languages", "Set Default Language"}));
    QCOMPARE(words.CurrentLanguage(), std::string("French"));  // closing stores nothing but
    QCOMPARE(Read(store, "Default Language"), "French");       // the opening made it current
  }

  void editorTabOrderRunsAsTheUserReads() {
    MemorySettings store;
    Editor editor(store);
    QStringList order;
    QWidget* widget = Box(editor.window, 1);
    do {
      if (widget->focusPolicy() & Qt::TabFocus) order << widget->objectName();
      widget = widget->nextInFocusChain();
    } while (widget != Box(editor.window, 1));
    QStringList expected = {"Text1", "Check1", "Check2", "Combo1"};
    for (int n = 2; n <= 38; ++n) expected << QStringLiteral("Text%1").arg(n);
    QCOMPARE(order, expected);
  }

  void editorLooksAsDesignedAndNothingIsCutOff() {
    MemorySettings store;
    store.WriteSetting("Languages", "Français;Deutsch;");
    Editor editor(store);
    LanguageEditor& window = editor.window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    Choose(window, 0);
    const char* words[] = {"un", "deux", "trois", "quatre", "cinq", "six", "sept", "huit", "neuf"};
    for (int i = 0; i < 9; ++i) Type(Box(window, i + 2), words[i]);
    Type(Box(window, 29), "cent");
    Box(window, 37)->setText("zéro");
    Type(Box(window, 38), "moins");

    QCOMPARE(window.palette().color(QPalette::Window), QColor(Qt::white));
    QCOMPARE(Find<QLabel>(window, "Label1_17")->font().family(), QString("Arial"));
    QVERIFY(Find<QLabel>(window, "Label1_17")->font().bold());
    QCOMPARE(Find<QLabel>(window, "Label1_17")->font().pointSizeF(), 9.0);
    QCOMPARE(Find<QAbstractButton>(window, "Check2")->font().pointSizeF(), 11.25);

    for (int n = 0; n <= 38; ++n) {
      QLabel* label = Find<QLabel>(window, QStringLiteral("Label1_%1").arg(n));
      QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->text()));
      // The two rows on the window, the word labels in their frame (which may scroll).
      QWidget* holder = n < 2 ? static_cast<QWidget*>(&window) : label->parentWidget();
      QVERIFY2(QRect(QPoint(), holder->size())
                   .contains(QRect(label->mapTo(holder, QPoint()), label->size())),
               qPrintable(label->text()));
    }
    // Each word box to the right of its label and level with it; four columns of boxes.
    for (int n = 2; n <= 38; ++n) {
      QLabel* label = Find<QLabel>(window, QStringLiteral("Label1_%1").arg(n));
      QLineEdit* box = Box(window, n);
      const int column = qMin((n - 2) / 9, 3);
      const int row = n - 2 - column * 9;
      QVERIFY2(label->geometry().right() < box->x(), qPrintable(label->text()));
      QVERIFY(qAbs(label->geometry().center().y() - box->geometry().center().y()) <= 1);
      QCOMPARE(box->x(), Box(window, 2 + column * 9)->x());
      if (row < 9) QCOMPARE(box->y(), Box(window, 2 + row)->y());
      if (row > 0) QVERIFY(box->y() > Box(window, n - 1)->geometry().bottom());
      if (column > 0) QVERIFY(Box(window, 2 + (column - 1) * 9)->geometry().right() < label->x());
      QVERIFY(QRect(QPoint(), box->parentWidget()->size()).contains(box->geometry()));
    }
    for (const char* name : {"Check1", "Check2"}) {
      QAbstractButton* button = Find<QAbstractButton>(window, name);
      QVERIFY(button->width() >= button->sizeHint().width());
      QVERIFY(window.rect().contains(QRect(button->mapTo(&window, QPoint()), button->size())));
    }
    QVERIFY(window.grab().save(QUILLORY_SCREENSHOT_DIR "/language_editor.png"));
  }

  void defaultWindowLooksAsDesignedAndNothingIsCutOff() {
    MemorySettings store;
    store.WriteSetting("Languages", "Français;Deutsch;Schweizerdeutsch (Zürich, Basel und Bern);");
    store.WriteSetting("Default Language", "Deutsch");
    WordSource words(store);
    DefaultLanguageWindow window(store, words);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QLabel* label = Find<QLabel>(window, "Label1_1");
    QAbstractButton* button = Find<QAbstractButton>(window, "Check1");
    QVERIFY(label->width() >= label->sizeHint().width());
    QVERIFY(button->width() >= button->sizeHint().width());
    QVERIFY(label->geometry().right() < Combo(window)->x());
    QVERIFY(Combo(window)->geometry().right() < button->x());
    QVERIFY(window.rect().contains(button->geometry()));
    QCOMPARE(button->text(), QString("&Set"));
    // A long name is shown whole in the drop-down list.
    Combo(window)->showPopup();
    const QString longName = QString::fromUtf8("Schweizerdeutsch (Zürich, Basel und Bern)");
    QVERIFY(Combo(window)->view()->width() >
            Combo(window)->view()->fontMetrics().horizontalAdvance(longName));
    Combo(window)->hidePopup();
    QVERIFY(window.grab().save(QUILLORY_SCREENSHOT_DIR "/default_language.png"));
  }
};

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  LanguageWindowsTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "language_windows_test.moc"
