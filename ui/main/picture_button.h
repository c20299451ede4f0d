#pragma once

#include <QAbstractButton>
#include <QPixmap>

namespace quillory::ui {

// A two-state button with a 32 x 32 picture above its caption, which wraps at spaces to fit the
// button's width. Used as a push button: its handler resets it when it turns pressed.
class PictureButton final : public QAbstractButton {
  Q_OBJECT

 public:
  // `icon` is an SVG resource; `width` is the button's width in the window's design.
  PictureButton(const QString& caption, const QString& icon, int width, QWidget* parent = nullptr);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool event(QEvent* event) override;

 private:
  QRect CaptionRect(const QRect& area) const;
  int HeightFor(int width) const;

  QPixmap picture_;
  int width_;
  bool hovered_ = false;
};

// The picture of an SVG resource drawn at `size` logical pixels for `ratio` device pixels each.
QPixmap RenderSvg(const QString& resource, int size, qreal ratio);

}  // namespace quillory::ui
