#include "ui/languages/default_language_window.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <string>

#include "engine/languages.h"
#include "engine/settings.h"
#include "ui/languages/picture_button.h"
#include "ui/languages/window_look.h"

namespace quillory::ui {

using languages::ApplyWindowLook;
using languages::PictureButton;
using languages::ToQString;
using languages::Twips;

DefaultLanguageWindow::DefaultLanguageWindow(SettingsStore& store, WordSource& words,
                                             QWidget* parent)
    : QDialog(parent), store_(store), words_(words) {
  setObjectName(QStringLiteral("Form3"));
  setWindowTitle(QStringLiteral("Set Default Language"));
  ApplyWindowLook(this);
  BuildWindow();
  connect(check1_, &PictureButton::acted, this, &DefaultLanguageWindow::SetPressed);

  FillLanguageList();
  SelectStoredDefault();
}

void DefaultLanguageWindow::BuildWindow() {
  auto* label = new QLabel(QStringLiteral("Language:"), this);
  label->setObjectName(QStringLiteral("Label1_1"));
  combo1_ = new QComboBox(this);
  combo1_->setObjectName(QStringLiteral("Combo1"));
  combo1_->setEditable(false);
  combo1_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  combo1_->setFixedSize(qMax(Twips(2760), combo1_->minimumSizeHint().width()),
                        qMax(Twips(345), combo1_->sizeHint().height()));
  check1_ = new PictureButton(QStringLiteral("Set"), QStringLiteral(":/languages/set.svg"), this);
  check1_->setObjectName(QStringLiteral("Check1"));

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(Twips(90), Twips(90), Twips(180), Twips(90));
  layout->setSpacing(Twips(105));
  layout->addWidget(label, 0, Qt::AlignVCenter);
  layout->addWidget(combo1_, 0, Qt::AlignVCenter);
  layout->addSpacing(Twips(120) - Twips(105));
  layout->addWidget(check1_, 0, Qt::AlignVCenter);
  layout->addStretch(1);

  const QSize needed = layout->sizeHint();
  resize(qMax(Twips(5955), needed.width()), qMax(Twips(825), needed.height()));
}

void DefaultLanguageWindow::FillLanguageList() {
  combo1_->clear();
  combo1_->addItem(QStringLiteral("English"));
  for (const std::string& name : ReadLanguages(store_)) combo1_->addItem(ToQString(name));
}

void DefaultLanguageWindow::SelectStoredDefault() {
  LoadDefaultLanguage(store_, words_);
  const QString stored = ToQString(words_.CurrentLanguage());
  if (stored.isEmpty()) {
    combo1_->setCurrentIndex(0);
    return;
  }
  for (int i = 0; i < combo1_->count(); ++i) {
    if (combo1_->itemText(i) == stored) {
      combo1_->setCurrentIndex(i);
      return;
    }
  }
  // The default's language is no longer listed; conversions still use it, so show it.
  combo1_->addItem(stored);
  combo1_->setCurrentIndex(combo1_->count() - 1);
}

void DefaultLanguageWindow::SetPressed() {
  if (combo1_->currentIndex() < 0) return;
  if (!SetDefaultLanguage(store_, words_, combo1_->currentText().toStdString())) return;
  accept();
}

}  // namespace quillory::ui
