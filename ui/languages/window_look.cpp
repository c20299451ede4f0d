#include "ui/languages/window_look.h"

#include <QPalette>
#include <QWidget>

namespace quillory::ui::languages {
namespace {

QFont ArialBold(qreal points) {
  QFont font(QStringLiteral("Arial"));
  font.setStyleHint(QFont::SansSerif);
  font.setPointSizeF(points);
  font.setBold(true);
  return font;
}

}  // namespace

QFont WindowFont() {
  return ArialBold(9);
}
QFont ButtonFont() {
  return ArialBold(11.25);
}

void ApplyWindowLook(QWidget* window) {
  window->setFont(WindowFont());
  QPalette palette = window->palette();
  palette.setColor(QPalette::Window, Qt::white);
  window->setPalette(palette);
  window->setAutoFillBackground(true);
}

}  // namespace quillory::ui::languages
