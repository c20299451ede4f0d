#include "ui/languages/language_editor.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <vector>

#include "engine/languages.h"
#include "engine/settings.h"
#include "platform/qt/dialogs.h"
#include "platform/qt/text.h"
#include "ui/common/picture_button.h"
#include "ui/common/window_look.h"

namespace quillory::ui {

using qt::ToQString;
using qt::ToUtf8;

namespace {

using enum Stem;

// Column by column, as the boxes are shown.
// clang-format off
constexpr std::array<Stem, LanguageEditor::kBoxCount> kBoxStems = {
    One, Two, Three, Four, Five, Six, Seven, Eight, Nine,
    Eleven, Twelve, Thirteen, Fourteen, Fifteen, Sixteen, Seventeen, Eighteen, Nineteen,
    Ten, Twenty, Thirty, Forty, Fifty, Sixty, Seventy, Eighty, Ninety,
    Hundred, Thousand, Million, Billion, Trillion, Point, And, No, Zero, Minus,
};
// clang-format on

constexpr int kRowsPerColumn = 9;
constexpr int kColumns = 4;
// Inside the frame, in pixels: where each column's labels and boxes start.
constexpr std::array<int, kColumns> kLabelLeft = {Twips(180), Twips(2970), Twips(6120),
                                                  Twips(9045)};
constexpr std::array<int, kColumns> kBoxLeft = {Twips(810), Twips(3960), Twips(6885), Twips(9990)};
constexpr int kBoxWidth = Twips(1860);
constexpr int kBoxHeight = Twips(375);
constexpr int kRowPitch = Twips(495);
constexpr int kFrameTop = Twips(270);
constexpr int kButtonWidth = Twips(1800);

// Asks for room for its whole widget, so that the window shows all of it where the screen
// allows; on a smaller screen the rest scrolls.
class WholeScrollArea final : public QScrollArea {
 public:
  using QScrollArea::QScrollArea;
  QSize sizeHint() const override {
    const int frame = 2 * frameWidth();
    return widget() ? widget()->sizeHint() + QSize(frame, frame) : QScrollArea::sizeHint();
  }
};

QLabel* NewLabel(const QString& text, int index, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QStringLiteral("Label1_%1").arg(index));
  return label;
}

}  // namespace

const std::array<Stem, LanguageEditor::kBoxCount>& LanguageEditor::BoxStems() {
  return kBoxStems;
}

LanguageEditor::LanguageEditor(SettingsStore& store, qt::Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), store_(store), dialogs_(dialogs) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral("Languages"));
  ApplyWindowLook(this);
  BuildWindow();

  connect(add_button_, &PictureButton::acted, this, &LanguageEditor::AddLanguagePressed);
  connect(new_name_box_, &QLineEdit::returnPressed, this, &LanguageEditor::AddLanguagePressed);
  connect(delete_button_, &PictureButton::acted, this, &LanguageEditor::DeleteLanguagePressed);
  // Choosing an entry and any other change of the selection both show the words.
  connect(language_list_, &QComboBox::currentIndexChanged, this,
          &LanguageEditor::ShowLanguageWords);
  for (std::size_t i = 0; i < kBoxCount; ++i) {
    connect(word_boxes_[i], &QLineEdit::textChanged, this, [this, i] { SaveWord(i); });
  }
  // A word box that takes the focus scrolls into view whole, not only its cursor.
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
    if (!now || !words_frame_->isAncestorOf(now)) return;
    const QRect box(now->mapTo(words_frame_, QPoint()), now->size());
    constexpr int kMargin = 8;
    words_area_->ensureVisible(box.center().x(), box.center().y(), box.width() / 2 + kMargin,
                               box.height() / 2 + kMargin);
  });

  FillLanguageList();
  ShowLanguageWords();
  FitOnScreen(this);
}

void LanguageEditor::BuildWindow() {
  new_name_box_ = new QLineEdit(this);
  new_name_box_->setObjectName(QStringLiteral("Text1"));
  language_list_ = new QComboBox(this);
  language_list_->setObjectName(QStringLiteral("Combo1"));
  language_list_->setEditable(false);
  language_list_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  add_button_ = new PictureButton(QStringLiteral("&Add Language"),
                                  QStringLiteral(":/languages/add.svg"), kButtonWidth, this);
  add_button_->setObjectName(QStringLiteral("Check1"));
  delete_button_ = new PictureButton(QStringLiteral("&Delete Language"),
                                     QStringLiteral(":/languages/delete.svg"), kButtonWidth, this);
  delete_button_->setObjectName(QStringLiteral("Check2"));

  // The two buttons share one width, the wider caption's, each caption on one line.
  add_button_->FitCaptionOnOneLine();
  delete_button_->FitCaptionOnOneLine();
  const int button_width =
      qMax(add_button_->sizeHint().width(), delete_button_->sizeHint().width());
  add_button_->setFixedWidth(button_width);
  delete_button_->setFixedWidth(button_width);
  new_name_box_->setFixedSize(qMax(Twips(2355), new_name_box_->minimumSizeHint().width()),
                              qMax(Twips(375), new_name_box_->sizeHint().height()));
  language_list_->setFixedSize(qMax(Twips(2760), language_list_->minimumSizeHint().width()),
                               qMax(Twips(345), language_list_->sizeHint().height()));

  // Two rows: the name to add and its button, the stored languages and the delete button.
  QLabel* new_name_label = NewLabel(QStringLiteral("&New Language:"), 0, this);
  new_name_label->setBuddy(new_name_box_);
  QLabel* language_label = NewLabel(QStringLiteral("Lan&guage:"), 1, this);
  language_label->setBuddy(language_list_);
  auto* top = new QGridLayout;
  top->setContentsMargins(0, 0, 0, 0);
  top->setHorizontalSpacing(Twips(180));
  top->setVerticalSpacing(4);
  top->setColumnMinimumWidth(0, Twips(1620 - 180 - 180));
  top->addWidget(new_name_label, 0, 0, Qt::AlignVCenter);
  top->addWidget(new_name_box_, 0, 1, Qt::AlignLeft | Qt::AlignVCenter);
  top->addWidget(add_button_, 0, 2);
  top->addWidget(language_label, 1, 0, Qt::AlignVCenter);
  top->addWidget(language_list_, 1, 1, Qt::AlignLeft | Qt::AlignVCenter);
  top->addWidget(delete_button_, 1, 2);
  top->setColumnStretch(3, 1);

  // The word boxes in four columns, each label to the left of its box and level with it. Grid
  // columns: label, box, gap, label, box, gap, ...; the classic widths are minimums, so a longer
  // caption widens its column instead of being cut off.
  words_frame_ = new QFrame;
  words_frame_->setObjectName(QStringLiteral("Frame1"));
  words_frame_->setFrameStyle(QFrame::Box | QFrame::Sunken);
  auto* grid = new QGridLayout(words_frame_);
  const int line = words_frame_->frameWidth();
  grid->setContentsMargins(kLabelLeft[0] - line, kFrameTop - line, kLabelLeft[0] - line,
                           Twips(180) - line);
  grid->setHorizontalSpacing(0);
  grid->setVerticalSpacing(kRowPitch - kBoxHeight);
  for (int column = 0; column < kColumns; ++column) {
    grid->setColumnMinimumWidth(3 * column, kBoxLeft[column] - kLabelLeft[column]);
    grid->setColumnMinimumWidth(3 * column + 1, kBoxWidth);
    if (column + 1 < kColumns) {
      grid->setColumnMinimumWidth(3 * column + 2,
                                  kLabelLeft[column + 1] - kBoxLeft[column] - kBoxWidth);
    }
  }
  for (std::size_t i = 0; i < kBoxCount; ++i) {
    const int column = qMin(static_cast<int>(i) / kRowsPerColumn, kColumns - 1);
    const int row = static_cast<int>(i) - column * kRowsPerColumn;
    auto* label =
        NewLabel(ToQString(StemName(kBoxStems[i])) + u':', static_cast<int>(i) + 2, words_frame_);
    label->setMinimumWidth(label->sizeHint().width() + 4);
    auto* box = new QLineEdit(words_frame_);
    box->setObjectName(QStringLiteral("Text%1").arg(i + 2));
    box->setFixedSize(kBoxWidth, qMax(kBoxHeight, box->sizeHint().height()));
    label->setBuddy(box);
    grid->addWidget(label, row, 3 * column, Qt::AlignLeft | Qt::AlignVCenter);
    grid->addWidget(box, row, 3 * column + 1);
    word_boxes_[i] = box;
  }
  words_frame_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

  // On a small screen the words scroll; the two rows above them stay in view.
  words_area_ = new WholeScrollArea(this);
  words_area_->setObjectName(QStringLiteral("WordsArea"));
  words_area_->setFrameShape(QFrame::NoFrame);
  words_area_->setFocusPolicy(Qt::NoFocus);  // Tab goes through the boxes; it scrolls to each
  words_area_->setWidget(words_frame_);
  words_area_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  words_area_->setBackgroundRole(QPalette::Window);
  words_area_->setMinimumSize(Twips(2400), Twips(1200));

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(Twips(180), Twips(180), Twips(180), Twips(135));
  layout->setSpacing(Twips(180));
  layout->addLayout(top);
  layout->addWidget(words_area_, 1);

  // Text1, the two buttons, Combo1, then the word boxes column by column.
  setTabOrder(new_name_box_, add_button_);
  setTabOrder(add_button_, delete_button_);
  setTabOrder(delete_button_, language_list_);
  setTabOrder(language_list_, word_boxes_[0]);
  for (std::size_t i = 1; i < kBoxCount; ++i) setTabOrder(word_boxes_[i - 1], word_boxes_[i]);
}

std::string LanguageEditor::SelectedName() const {
  return ToUtf8(language_list_->currentText());
}

bool LanguageEditor::WordsCanBeStored() const {
  return language_list_->currentIndex() >= 0 && !TrimSpaces(SelectedName()).empty();
}

void LanguageEditor::FillLanguageList() {
  const QSignalBlocker quiet(language_list_);
  language_list_->clear();
  for (const std::string& name : ReadLanguages(store_)) language_list_->addItem(ToQString(name));
  language_list_->setCurrentIndex(-1);
}

void LanguageEditor::ShowLanguageWords() {
  // Without a language (or with a blank name) the boxes are empty and take no input.
  const bool chosen = WordsCanBeStored();
  const std::string name = SelectedName();
  for (std::size_t i = 0; i < kBoxCount; ++i) {
    {
      const QSignalBlocker quiet(word_boxes_[i]);
      word_boxes_[i]->setText(chosen ? ToQString(StoredWord(store_, kBoxStems[i], name))
                                     : QString());
    }
    word_boxes_[i]->setEnabled(chosen);
    // A load is a change like any other: the word goes back under its key.
    SaveWord(i);
  }
}

void LanguageEditor::SaveWord(std::size_t box) {
  if (!WordsCanBeStored()) return;
  WriteStoredWord(store_, kBoxStems[box], SelectedName(), ToUtf8(word_boxes_[box]->text()));
}

void LanguageEditor::AddLanguagePressed() {
  const QString name = new_name_box_->text();
  // A built-in language's words come with the program: a stored language of its name or code
  // would take its place in every list.
  if (const BuiltInLanguage* built_in = ResolveBuiltIn(store_, ToUtf8(name))) {
    dialogs_.Message(this, kBuiltInNameMessage.arg(name, ToQString(BuiltInDisplayName(*built_in))));
    return;
  }
  const AddLanguageResult result = AddLanguage(store_, ToUtf8(name));
  if (const std::string_view message = AddLanguageMessage(result); !message.empty()) {
    dialogs_.Message(this, ToQString(message));
    return;
  }
  if (result == AddLanguageResult::NotStored) {
    dialogs_.Message(this, ToQString(store_.WriteError()));
    return;
  }
  if (result != AddLanguageResult::Added) return;
  // The new language is chosen at once, its words (any kept from before) shown for typing.
  language_list_->addItem(name);
  language_list_->setCurrentIndex(language_list_->count() - 1);
  new_name_box_->clear();
  if (word_boxes_[0]->isEnabled()) word_boxes_[0]->setFocus();
}

void LanguageEditor::DeleteLanguagePressed() {
  if (language_list_->currentIndex() < 0 || language_list_->currentText().isEmpty()) return;
  if (!dialogs_.AskYesNo(this, kDeleteLanguageQuestion.arg(language_list_->currentText()))) {
    return;
  }
  const std::string name = SelectedName();
  const int position = language_list_->currentIndex();
  {
    // No other language is loaded on the way.
    const QSignalBlocker quiet(language_list_);
    language_list_->removeItem(position);
    language_list_->setCurrentIndex(-1);
  }
  ShowLanguageWords();
  // The stored list is read again and only this entry goes: names another program added or
  // deleted while the window was open stay as they are.
  DeleteLanguage(store_, name, static_cast<std::size_t>(position));
}

}  // namespace quillory::ui
