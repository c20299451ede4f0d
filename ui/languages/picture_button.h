#pragma once

#include <QToolButton>

namespace quillory::ui::languages {

// A check box drawn as a button with a 32x32 icon above its caption, used as a push button: a
// press sets it, and it acts only while set, resetting itself first, so each press acts once.
class PictureButton : public QToolButton {
  Q_OBJECT

 public:
  PictureButton(const QString& caption, const QString& iconPath, QWidget* parent = nullptr);

  QSize sizeHint() const override;

 signals:
  // Once per press.
  void acted();

 private:
  void OnClicked(bool checked);
};

}  // namespace quillory::ui::languages
