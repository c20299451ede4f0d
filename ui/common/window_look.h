#pragma once

#include <QFont>

class QPalette;
class QWidget;

namespace quillory::ui {

// Design sizes are in twips (1/1440 inch); 15 twips make a pixel at 96 dots per inch.
constexpr int Twips(int twips) {
  return twips / 15;
}

QFont ArialBold(qreal points);
// Labels, options, text boxes and the file list: Arial bold 9 pt.
QFont WindowFont();
// The captions of picture buttons: Arial bold 11.25 pt.
QFont ButtonFont();

// True when the scheme draws light text on a dark window.
bool IsDarkScheme(const QPalette& palette);

// The window font and, under a light colour scheme, the designed white background with black
// text on the window and its buttons. Under a dark scheme the scheme's own colours stay, so that
// no text is ever drawn light on white.
void ApplyWindowLook(QWidget* window);

// Sizes a window to what it asks for, but no larger than the free area of its screen (room kept
// for the window frame); parts that scroll make up the rest.
void FitOnScreen(QWidget* window);

}  // namespace quillory::ui
