#include "ui/languages/default_language_window.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <string>

#include "engine/languages.h"
#include "engine/settings.h"
#include "platform/qt/text.h"
#include "ui/common/picture_button.h"
#include "ui/common/window_look.h"

namespace quillory::ui {

using qt::ToQString;
using qt::ToUtf8;

DefaultLanguageWindow::DefaultLanguageWindow(SettingsStore& store, WordSource& words,
                                             QWidget* parent)
    : QDialog(parent), store_(store), words_(words) {
  setObjectName(QStringLiteral("Form3"));
  setWindowTitle(QStringLiteral("Set Default Language"));
  ApplyWindowLook(this);
  BuildWindow();
  connect(set_button_, &PictureButton::acted, this, &DefaultLanguageWindow::SetPressed);

  FillLanguageList();
  SelectStoredDefault();
}

void DefaultLanguageWindow::BuildWindow() {
  auto* label = new QLabel(QStringLiteral("&Language:"), this);
  label->setObjectName(QStringLiteral("Label1_1"));
  language_list_ = new QComboBox(this);
  language_list_->setObjectName(QStringLiteral("Combo1"));
  language_list_->setEditable(false);
  language_list_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  language_list_->setFixedSize(qMax(Twips(2760), language_list_->minimumSizeHint().width()),
                               qMax(Twips(345), language_list_->sizeHint().height()));
  label->setBuddy(language_list_);
  set_button_ = new PictureButton(QStringLiteral("&Set"), QStringLiteral(":/languages/set.svg"),
                                  Twips(1800), this);
  set_button_->setObjectName(QStringLiteral("Check1"));

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(Twips(90), Twips(90), Twips(180), Twips(90));
  layout->setSpacing(Twips(105));
  layout->addWidget(label, 0, Qt::AlignVCenter);
  layout->addWidget(language_list_, 0, Qt::AlignVCenter);
  layout->addSpacing(Twips(120) - Twips(105));
  layout->addWidget(set_button_, 0, Qt::AlignVCenter);
  layout->addStretch(1);

  const QSize needed = layout->sizeHint();
  resize(qMax(Twips(5955), needed.width()), qMax(Twips(825), needed.height()));
}

void DefaultLanguageWindow::FillLanguageList() {
  // English, the stored languages, then the built-in ones by their own names: "Français (fr)".
  language_list_->clear();
  for (const LanguageEntry& entry : ListLanguages(store_)) {
    language_list_->addItem(ToQString(entry.name));
  }
}

void DefaultLanguageWindow::SelectStoredDefault() {
  LoadDefaultLanguage(store_, words_);
  const QString stored = ToQString(words_.CurrentLanguage());
  if (stored.isEmpty()) {
    language_list_->setCurrentIndex(0);
    return;
  }
  for (int i = 0; i < language_list_->count(); ++i) {
    if (language_list_->itemText(i) == stored) {
      language_list_->setCurrentIndex(i);
      return;
    }
  }
  // A built-in language stored by its code ("fr") is the entry of its name.
  if (const BuiltInLanguage* built_in = ResolveBuiltIn(store_, ToUtf8(stored))) {
    const int found = language_list_->findText(ToQString(BuiltInDisplayName(*built_in)),
                                               Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (found >= 0) {
      language_list_->setCurrentIndex(found);
      return;
    }
  }
  // The default's language is no longer listed; conversions still use it, so show it.
  language_list_->addItem(stored);
  language_list_->setCurrentIndex(language_list_->count() - 1);
}

void DefaultLanguageWindow::SetPressed() {
  if (language_list_->currentIndex() < 0) return;
  if (!SetDefaultLanguage(store_, words_, ToUtf8(language_list_->currentText()))) return;
  accept();
}

}  // namespace quillory::ui
