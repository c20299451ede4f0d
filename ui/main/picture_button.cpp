#include "ui/main/picture_button.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QSvgRenderer>

namespace quillory::ui {
namespace {

constexpr int kPicture = 32;
constexpr int kMargin = 5;   // inside the border, around picture and caption
constexpr int kSpacing = 2;  // between picture and caption
constexpr int kTextFlags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;

}  // namespace

QPixmap RenderSvg(const QString& resource, int size, qreal ratio) {
  QPixmap pixmap(QSize(size, size) * ratio);
  pixmap.fill(Qt::transparent);
  QSvgRenderer renderer(resource);
  QPainter painter(&pixmap);
  renderer.render(&painter);
  painter.end();
  pixmap.setDevicePixelRatio(ratio);
  return pixmap;
}

PictureButton::PictureButton(const QString& caption, const QString& icon, int width,
                             QWidget* parent)
    : QAbstractButton(parent), width_(width) {
  setText(caption);
  setCheckable(true);
  setAttribute(Qt::WA_Hover);
  picture_ = RenderSvg(icon, kPicture, devicePixelRatioF());
  // Buttons of one row take the height of the tallest.
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
}

int PictureButton::HeightFor(int width) const {
  const QRect caption =
      fontMetrics().boundingRect(QRect(0, 0, width - 2 * kMargin, 1000), kTextFlags, text());
  return kMargin + kPicture + kSpacing + caption.height() + kMargin;
}

QSize PictureButton::sizeHint() const {
  // Never narrower than the longest word of the caption.
  int longest_word = kPicture;
  for (const QString& word : text().split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
    longest_word = std::max(longest_word, fontMetrics().horizontalAdvance(word));
  }
  const int width = std::max(width_, longest_word + 2 * kMargin + 4);
  return {width, HeightFor(width)};
}

QSize PictureButton::minimumSizeHint() const {
  return sizeHint();
}

bool PictureButton::event(QEvent* event) {
  switch (event->type()) {
    case QEvent::HoverEnter:
      hovered_ = true;
      update();
      break;
    case QEvent::HoverLeave:
      hovered_ = false;
      update();
      break;
    default:
      break;
  }
  return QAbstractButton::event(event);
}

QRect PictureButton::CaptionRect(const QRect& area) const {
  return area.adjusted(kMargin, kMargin + kPicture + kSpacing, -kMargin, -kMargin);
}

void PictureButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const bool sunken = isDown() || isChecked();
  const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);

  QPainterPath path;
  path.addRoundedRect(frame, 3, 3);
  painter.fillPath(path, sunken ? QColor(0xe4, 0xe8, 0xee) : QColor(Qt::white));
  QColor border = hovered_ && isEnabled() ? QColor(0x4a, 0x7e, 0xc2) : QColor(0xa8, 0xa8, 0xa8);
  painter.setPen(QPen(border, 1));
  painter.drawPath(path);

  const QPoint offset = sunken ? QPoint(1, 1) : QPoint();
  const QRect area = rect().translated(offset);
  painter.drawPixmap(area.center().x() - kPicture / 2 + 1, area.top() + kMargin, picture_);
  painter.setPen(
      palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
  painter.drawText(CaptionRect(area), kTextFlags, text());

  if (hasFocus()) {
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = rect().adjusted(3, 3, -3, -3);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
  }
}

}  // namespace quillory::ui
