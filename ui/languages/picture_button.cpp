#include "ui/languages/picture_button.h"

#include "ui/languages/window_look.h"

namespace quillory::ui::languages {

PictureButton::PictureButton(const QString& caption, const QString& iconPath, QWidget* parent)
    : QToolButton(parent) {
  setText(caption);
  setIcon(QIcon(iconPath));
  setIconSize(QSize(32, 32));
  setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  setCheckable(true);
  setFont(ButtonFont());
  setFocusPolicy(Qt::StrongFocus);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  connect(this, &QToolButton::clicked, this, &PictureButton::OnClicked);
}

QSize PictureButton::sizeHint() const {
  // Never narrower than the classic 120-pixel button, and room around the caption.
  const QSize hint = QToolButton::sizeHint();
  return QSize(qMax(hint.width() + 12, 120), hint.height() + 6);
}

void PictureButton::OnClicked(bool checked) {
  if (!checked) return;
  setChecked(false);
  emit acted();
}

}  // namespace quillory::ui::languages
