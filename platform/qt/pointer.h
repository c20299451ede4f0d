#pragma once

#include <QCursor>
#include <QString>
#include <optional>

class QWidget;

namespace quillory::qt {

// A pointer image file (.cur or .ico) with the hot spot a .cur file names; nothing when the file
// is missing or unreadable.
std::optional<QCursor> LoadPointerFile(const QString& path);

// The pointer of one window: normal, hand (hovering a command) or busy. Busy is counted, so a
// folder scan and a conversion run can overlap; while busy, hover changes are kept for later but
// not shown.
class WindowPointer {
 public:
  enum class State { Normal, Hand, Busy };

  WindowPointer(QWidget* window, QCursor hand);

  void ShowHand() { SetHover(false); }
  void ShowNormal() { SetHover(true); }
  void SetBusy(bool busy);
  State state() const;

 private:
  void SetHover(bool normal);
  void Apply();

  QWidget* window_;
  QCursor hand_;
  bool hand_shown_ = false;
  int busy_ = 0;
};

// Shows the busy pointer for as long as it lives.
class BusyPointer {
 public:
  explicit BusyPointer(WindowPointer& pointer) : pointer_(pointer) { pointer_.SetBusy(true); }
  ~BusyPointer() { pointer_.SetBusy(false); }
  BusyPointer(const BusyPointer&) = delete;
  BusyPointer& operator=(const BusyPointer&) = delete;

 private:
  WindowPointer& pointer_;
};

}  // namespace quillory::qt
