#include "ui/languages/language_editor.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <vector>

#include "engine/languages.h"
#include "engine/settings.h"
#include "ui/languages/picture_button.h"
#include "ui/languages/window_look.h"

namespace quillory::ui {

using languages::ApplyWindowLook;
using languages::PictureButton;
using languages::ToQString;
using languages::Twips;

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

// "One_" is labelled "One:".
QString LabelFor(Stem stem) {
  std::string_view key = StemKey(stem);
  key.remove_suffix(1);
  return ToQString(key) + u':';
}

QLabel* NewLabel(const QString& text, int index, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QStringLiteral("Label1_%1").arg(index));
  return label;
}

}  // namespace

void ShowMessageBox(QWidget* over, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Quillory"), text, QMessageBox::Ok, over);
  box.exec();
}

const std::array<Stem, LanguageEditor::kBoxCount>& LanguageEditor::BoxStems() {
  return kBoxStems;
}

LanguageEditor::LanguageEditor(SettingsStore& store, ShowMessage message, QWidget* parent)
    : QDialog(parent), store_(store), message_(std::move(message)) {
  if (!message_) message_ = ShowMessageBox;
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral("Languages"));
  ApplyWindowLook(this);
  BuildWindow();

  connect(check1_, &PictureButton::acted, this, &LanguageEditor::AddLanguagePressed);
  connect(check2_, &PictureButton::acted, this, &LanguageEditor::DeleteLanguagePressed);
  // Choosing an entry and any other change of the selection both show the words.
  connect(combo1_, &QComboBox::currentIndexChanged, this, &LanguageEditor::ShowLanguageWords);
  for (std::size_t i = 0; i < kBoxCount; ++i) {
    connect(boxes_[i], &QLineEdit::textChanged, this, [this, i] { SaveWord(i); });
  }

  FillLanguageList();
}

void LanguageEditor::BuildWindow() {
  text1_ = new QLineEdit(this);
  text1_->setObjectName(QStringLiteral("Text1"));
  combo1_ = new QComboBox(this);
  combo1_->setObjectName(QStringLiteral("Combo1"));
  combo1_->setEditable(false);
  combo1_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  check1_ = new PictureButton(QStringLiteral("Add Language"), QStringLiteral(":/languages/add.svg"),
                              this);
  check1_->setObjectName(QStringLiteral("Check1"));
  check2_ = new PictureButton(QStringLiteral("Delete Language"),
                              QStringLiteral(":/languages/delete.svg"), this);
  check2_->setObjectName(QStringLiteral("Check2"));

  // The two buttons share one width, the wider caption's.
  const int buttonWidth = qMax(check1_->sizeHint().width(), check2_->sizeHint().width());
  check1_->setFixedWidth(buttonWidth);
  check2_->setFixedWidth(buttonWidth);
  text1_->setFixedSize(qMax(Twips(2355), text1_->minimumSizeHint().width()),
                       qMax(Twips(375), text1_->sizeHint().height()));
  combo1_->setFixedSize(qMax(Twips(2760), combo1_->minimumSizeHint().width()),
                        qMax(Twips(345), combo1_->sizeHint().height()));

  // Two rows: the name to add and its button, the stored languages and the delete button.
  auto* top = new QGridLayout;
  top->setContentsMargins(0, 0, 0, 0);
  top->setHorizontalSpacing(Twips(180));
  top->setVerticalSpacing(4);
  top->setColumnMinimumWidth(0, Twips(1620 - 180 - 180));
  top->addWidget(NewLabel(QStringLiteral("New Language:"), 0, this), 0, 0, Qt::AlignVCenter);
  top->addWidget(text1_, 0, 1, Qt::AlignLeft | Qt::AlignVCenter);
  top->addWidget(check1_, 0, 2);
  top->addWidget(NewLabel(QStringLiteral("Language:"), 1, this), 1, 0, Qt::AlignVCenter);
  top->addWidget(combo1_, 1, 1, Qt::AlignLeft | Qt::AlignVCenter);
  top->addWidget(check2_, 1, 2);
  top->setColumnStretch(3, 1);

  // The word boxes in four columns, each label to the left of its box and level with it. Grid
  // columns: label, box, gap, label, box, gap, ...; the classic widths are minimums, so a longer
  // caption widens its column instead of being cut off.
  frame1_ = new QFrame(this);
  frame1_->setObjectName(QStringLiteral("Frame1"));
  frame1_->setFrameStyle(QFrame::Box | QFrame::Sunken);
  auto* grid = new QGridLayout(frame1_);
  const int line = frame1_->frameWidth();
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
    auto* label = NewLabel(LabelFor(kBoxStems[i]), static_cast<int>(i) + 2, frame1_);
    label->setMinimumWidth(label->sizeHint().width() + 4);
    auto* box = new QLineEdit(frame1_);
    box->setObjectName(QStringLiteral("Text%1").arg(i + 2));
    box->setFixedSize(kBoxWidth, qMax(kBoxHeight, box->sizeHint().height()));
    grid->addWidget(label, row, 3 * column, Qt::AlignLeft | Qt::AlignVCenter);
    grid->addWidget(box, row, 3 * column + 1);
    boxes_[i] = box;
  }
  frame1_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

  auto* frameRow = new QHBoxLayout;
  frameRow->addWidget(frame1_);
  frameRow->addStretch(1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(Twips(180), Twips(180), Twips(180), Twips(135));
  layout->setSpacing(Twips(180));
  layout->addLayout(top);
  layout->addLayout(frameRow);
  layout->addStretch(1);

  // Text1, the two buttons, Combo1, then the word boxes column by column.
  setTabOrder(text1_, check1_);
  setTabOrder(check1_, check2_);
  setTabOrder(check2_, combo1_);
  setTabOrder(combo1_, boxes_[0]);
  for (std::size_t i = 1; i < kBoxCount; ++i) setTabOrder(boxes_[i - 1], boxes_[i]);

  const QSize needed = layout->sizeHint();
  resize(qMax(Twips(13575), needed.width()), qMax(Twips(6135), needed.height()));
}

std::string LanguageEditor::SelectedName() const {
  return combo1_->currentText().toStdString();
}

void LanguageEditor::FillLanguageList() {
  const QSignalBlocker quiet(combo1_);
  combo1_->clear();
  for (const std::string& name : ReadLanguages(store_)) combo1_->addItem(ToQString(name));
  combo1_->setCurrentIndex(-1);
}

void LanguageEditor::ShowLanguageWords() {
  const std::string name = SelectedName();
  if (TrimSpaces(name).empty()) return;
  for (std::size_t i = 0; i < kBoxCount; ++i) {
    {
      const QSignalBlocker quiet(boxes_[i]);
      boxes_[i]->setText(ToQString(StoredWord(store_, kBoxStems[i], name)));
    }
    // A load is a change like any other: the word goes back under its key.
    SaveWord(i);
  }
}

void LanguageEditor::SaveWord(std::size_t box) {
  const std::string name = SelectedName();
  if (TrimSpaces(name).empty()) return;
  WriteStoredWord(store_, kBoxStems[box], name, boxes_[box]->text().toStdString());
}

void LanguageEditor::AddLanguagePressed() {
  const QString name = text1_->text();
  const AddLanguageResult result = AddLanguage(store_, name.toStdString());
  if (const std::string_view message = AddLanguageMessage(result); !message.empty()) {
    message_(this, ToQString(message));
    return;
  }
  if (result == AddLanguageResult::NotStored) {
    message_(this, ToQString(store_.WriteError()));
    return;
  }
  if (result != AddLanguageResult::Added) return;
  {
    // Adding leaves the selection as it is (an empty list would otherwise select its first entry).
    const QSignalBlocker quiet(combo1_);
    const int selected = combo1_->currentIndex();
    combo1_->addItem(name);
    combo1_->setCurrentIndex(selected);
  }
  text1_->clear();
}

void LanguageEditor::DeleteLanguagePressed() {
  if (combo1_->currentText().isEmpty()) return;
  const std::string name = SelectedName();
  const int position = combo1_->currentIndex();
  {
    // The boxes keep the deleted language's words: nothing else may be loaded into them.
    const QSignalBlocker quiet(combo1_);
    combo1_->removeItem(position);
    combo1_->setCurrentIndex(-1);
  }
  // The stored list is read again and only this entry goes: names another program added or
  // deleted while the window was open stay as they are.
  DeleteLanguage(store_, name, static_cast<std::size_t>(position));
}

}  // namespace quillory::ui
