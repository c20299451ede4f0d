#pragma once

#include <QFont>
#include <QString>
#include <string_view>

class QWidget;

namespace quillory::ui::languages {

// The text of the language windows: Arial bold 9 pt.
QFont WindowFont();
// The captions of their picture buttons: Arial bold 11.25 pt.
QFont ButtonFont();

// White background and the window font for a whole window.
void ApplyWindowLook(QWidget* window);

// Store texts are UTF-8.
inline QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Twips (1/1440 inch) as pixels at 96 dots per inch.
constexpr int Twips(int twips) {
  return twips / 15;
}

}  // namespace quillory::ui::languages
