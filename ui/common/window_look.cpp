#include "ui/common/window_look.h"

#include <QPalette>
#include <QScreen>
#include <QWidget>

namespace quillory::ui {

QFont ArialBold(qreal points) {
  QFont font(QStringLiteral("Arial"));
  font.setStyleHint(QFont::SansSerif);
  font.setPointSizeF(points);
  font.setBold(true);
  return font;
}

QFont WindowFont() {
  return ArialBold(9);
}

QFont ButtonFont() {
  return ArialBold(11.25);
}

bool IsDarkScheme(const QPalette& palette) {
  return palette.color(QPalette::Window).lightness() <
         palette.color(QPalette::WindowText).lightness();
}

void ApplyWindowLook(QWidget* window) {
  window->setFont(WindowFont());
  QPalette palette = window->palette();
  if (!IsDarkScheme(palette)) {
    // Every colour that is forced comes with the text colours drawn on it.
    const QColor disabled_text(0x78, 0x78, 0x78);
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
      palette.setColor(group, QPalette::Window, Qt::white);
      palette.setColor(group, QPalette::Button, Qt::white);
      palette.setColor(group, QPalette::WindowText, Qt::black);
      palette.setColor(group, QPalette::ButtonText, Qt::black);
    }
    palette.setColor(QPalette::Disabled, QPalette::Window, Qt::white);
    palette.setColor(QPalette::Disabled, QPalette::Button, Qt::white);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, disabled_text);
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, disabled_text);
  }
  window->setPalette(palette);
  window->setAutoFillBackground(true);
}

void FitOnScreen(QWidget* window) {
  // The frame a window manager puts around a window: a title bar and thin borders.
  constexpr int kFrameWidth = 16;
  constexpr int kFrameHeight = 48;
  QSize size = window->sizeHint().expandedTo(window->minimumSizeHint());
  if (const QScreen* screen = window->screen()) {
    const QSize room = screen->availableGeometry().size() - QSize(kFrameWidth, kFrameHeight);
    size = size.boundedTo(room);
  }
  window->resize(size);
}

}  // namespace quillory::ui
