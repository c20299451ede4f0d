#include "platform/qt/pointer.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPixmap>
#include <QWidget>

namespace quillory::qt {

std::optional<QCursor> LoadPointerFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  QByteArray bytes = file.readAll();
  // Header: reserved, type (1 icon, 2 pointer), count; then 16-byte entries. A pointer's first
  // entry holds the hot spot where an icon holds planes and bit count.
  if (bytes.size() < 22) return std::nullopt;
  const auto word = [&bytes](int at) {
    return static_cast<int>(static_cast<unsigned char>(bytes[at])) |
           (static_cast<int>(static_cast<unsigned char>(bytes[at + 1])) << 8);
  };
  const int type = word(2);
  if (word(0) != 0 || (type != 1 && type != 2) || word(4) < 1) return std::nullopt;
  int hot_x = -1;
  int hot_y = -1;
  if (type == 2) {
    hot_x = word(10);
    hot_y = word(12);
    // The image reader only knows the icon layout, which is the same apart from these fields.
    bytes[2] = 1;
    bytes[10] = 1;
    bytes[11] = 0;
    bytes[12] = 0;
    bytes[13] = 0;
  }
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "ico");
  const QImage image = reader.read();
  if (image.isNull()) return std::nullopt;
  return QCursor(QPixmap::fromImage(image), hot_x, hot_y);
}

WindowPointer::WindowPointer(QWidget* window, QCursor hand)
    : window_(window), hand_(std::move(hand)) {
  Apply();
}

void WindowPointer::SetBusy(bool busy) {
  busy_ += busy ? 1 : -1;
  if (busy_ <= 0) {
    busy_ = 0;
    hand_shown_ = false;  // the busy pointer gives way to the normal one
  }
  Apply();
}

WindowPointer::State WindowPointer::state() const {
  if (busy_ > 0) return State::Busy;
  return hand_shown_ ? State::Hand : State::Normal;
}

void WindowPointer::SetHover(bool normal) {
  if (busy_ > 0) return;  // the busy pointer stays until its owner ends it
  hand_shown_ = !normal;
  Apply();
}

void WindowPointer::Apply() {
  switch (state()) {
    case State::Busy:
      window_->setCursor(Qt::WaitCursor);
      break;
    case State::Hand:
      window_->setCursor(hand_);
      break;
    case State::Normal:
      window_->setCursor(Qt::ArrowCursor);
      break;
  }
}

}  // namespace quillory::qt
