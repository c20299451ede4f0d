#pragma once

#include <QAbstractButton>
#include <QPixmap>

namespace quillory::ui {

// A button with a 32 x 32 picture above its caption, which wraps at spaces to fit the button's
// width; an "&" in the caption marks its keyboard mnemonic. A press acts once: the button turns
// pressed, springs back and says acted(). Enter and Return press it like Space.
class PictureButton final : public QAbstractButton {
  Q_OBJECT

 public:
  // `icon` is an SVG resource; `width` is the button's width in the window's design, in pixels.
  PictureButton(const QString& caption, const QString& icon, int width, QWidget* parent = nullptr);

  // Each click flips the button between its pressed and released looks and acts, instead of
  // springing back (the currency rename button does so).
  void SetTogglesLook(bool toggles);
  // Widens the button's design to hold its caption on one line.
  void FitCaptionOnOneLine();

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 signals:
  void acted();

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QRect CaptionRect(const QRect& area) const;
  int HeightFor(int width) const;
  const QPixmap& Picture(qreal ratio);

  QString icon_;
  QPixmap picture_;
  int width_;
  bool toggles_look_ = false;
  bool hovered_ = false;
};

// The picture of an SVG resource drawn at `size` logical pixels for `ratio` device pixels each.
QPixmap RenderSvg(const QString& resource, int size, qreal ratio);

}  // namespace quillory::ui
