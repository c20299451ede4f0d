#include "ui/common/picture_button.h"

#include <QEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QSvgRenderer>

#include "ui/common/window_look.h"

namespace quillory::ui {
namespace {

constexpr int kPicture = 32;
constexpr int kMargin = 5;   // inside the border, around picture and caption
constexpr int kSpacing = 2;  // between picture and caption
constexpr int kTextFlags =
    Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap | Qt::TextShowMnemonic;

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
    : QAbstractButton(parent), icon_(icon), width_(width) {
  setText(caption);  // also takes the mnemonic as the shortcut
  setCheckable(true);
  setFont(ButtonFont());
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_Hover);
  // Buttons of one row take the height of the tallest.
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
  connect(this, &QAbstractButton::toggled, this, [this](bool pressed) {
    if (toggles_look_ || !pressed) return;
    setChecked(false);
    emit acted();
  });
  connect(this, &QAbstractButton::clicked, this, [this] {
    if (toggles_look_) emit acted();
  });
}

void PictureButton::SetTogglesLook(bool toggles) {
  toggles_look_ = toggles;
}

void PictureButton::FitCaptionOnOneLine() {
  QString caption = text();
  caption.remove(QLatin1Char('&'));
  width_ = std::max(width_, fontMetrics().horizontalAdvance(caption) + 2 * kMargin + 6);
  updateGeometry();
}

int PictureButton::HeightFor(int width) const {
  const QRect caption =
      fontMetrics().boundingRect(QRect(0, 0, width - 2 * kMargin, 1000), kTextFlags, text());
  return kMargin + kPicture + kSpacing + caption.height() + kMargin;
}

QSize PictureButton::sizeHint() const {
  // Never narrower than the longest word of the caption.
  int longest_word = kPicture;
  for (QString word : text().split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
    word.remove(QLatin1Char('&'));
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

void PictureButton::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
      event->modifiers() == Qt::NoModifier) {
    animateClick();
    return;
  }
  QAbstractButton::keyPressEvent(event);
}

QRect PictureButton::CaptionRect(const QRect& area) const {
  return area.adjusted(kMargin, kMargin + kPicture + kSpacing, -kMargin, -kMargin);
}

const QPixmap& PictureButton::Picture(qreal ratio) {
  if (picture_.isNull() || picture_.devicePixelRatio() != ratio) {
    picture_ = RenderSvg(icon_, kPicture, ratio);
  }
  return picture_;
}

void PictureButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const bool sunken = isDown() || isChecked();
  const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  const QPalette::ColorGroup group = isEnabled() ? QPalette::Active : QPalette::Disabled;

  // Every colour comes from the palette, so the caption stays readable under any scheme.
  QPainterPath path;
  path.addRoundedRect(frame, 3, 3);
  const QColor face = palette().color(group, QPalette::Button);
  painter.fillPath(path, sunken ? face.darker(112) : face);
  const QColor border = hovered_ && isEnabled() ? palette().color(QPalette::Highlight)
                                                : palette().color(group, QPalette::Mid);
  painter.setPen(QPen(border, 1));
  painter.drawPath(path);

  const QPoint offset = sunken ? QPoint(1, 1) : QPoint();
  const QRect area = rect().translated(offset);
  painter.drawPixmap(area.center().x() - kPicture / 2 + 1, area.top() + kMargin,
                     Picture(devicePixelRatioF()));
  painter.setPen(palette().color(group, QPalette::ButtonText));
  painter.drawText(CaptionRect(area), kTextFlags, text());

  if (hasFocus()) {
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = rect().adjusted(3, 3, -3, -3);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
  }
}

}  // namespace quillory::ui
