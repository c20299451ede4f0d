#include "platform/qt/settings_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

namespace quillory {
namespace {

// How long a read-modify-write waits for another process to finish its own.
constexpr std::chrono::seconds kLockWait{10};

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToUtf8(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// The name QSettings sees for `key` inside the group: "%", "/" and "\" escaped as %25, %2F and
// %5C, because QSettings reads "/" (and on some platforms "\") as a group separator. The empty
// key, which QSettings cannot hold, becomes "%", which no other key can give.
std::string EscapeSettingKey(std::string_view key) {
  if (key.empty()) return "%";
  std::string escaped;
  escaped.reserve(key.size());
  for (char c : key) {
    if (c == '%') {
      escaped += "%25";
    } else if (c == '/') {
      escaped += "%2F";
    } else if (c == '\\') {
      escaped += "%5C";
    } else {
      escaped += c;
    }
  }
  return escaped;
}

QString GroupKey(std::string_view key) {
  return QStringLiteral("Quillory/") + FromUtf8(EscapeSettingKey(key));
}

// The file's modification time in whole milliseconds, as QSettings compares it; -1 when absent.
long long ModifiedMilliseconds(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return -1;
  return static_cast<long long>(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000;
}

// QSettings reads the file again only when its size or its modification time (in milliseconds)
// changed. Two versions of one size written within the same clock tick would look alike, and
// another process would go on from the older one; so each version written under the update lock
// is stamped at least a millisecond after the one it replaced.
void StampAfter(const std::string& path, long long previous) {
  if (previous < 0) return;
  const long long now = ModifiedMilliseconds(path);
  if (now < 0 || now > previous) return;
  const long long stamp = previous + 1;
  const timespec times[2] = {{0, UTIME_OMIT}, {stamp / 1000, (stamp % 1000) * 1000000}};
  ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

}  // namespace

// One QSettings for every read and write; QSettings objects are not safe to share between threads
// on their own, hence the lock.
struct QtSettingsStore::State {
  std::recursive_mutex mutex;
  QSettings settings{QStringLiteral("Orvanta"), QStringLiteral("Quillory")};
  std::string write_error;  // the first write that did not reach the file
  // A file with lines QSettings cannot parse is never written: rewriting it would drop them.
  // Writes then stay in memory for this process.
  bool unreadable = false;
  std::map<std::string, std::string, std::less<>> unsaved;
  int update_lock = -1;  // the lock file, while this process holds it
  int update_depth = 0;  // RunExclusively calls under way

  std::string FileName() const { return ToUtf8(settings.fileName()); }
  std::string UnreadableMessage() const {
    return "the settings file " + FileName() +
           " cannot be read: a line in it is not in the settings format; correct or remove that "
           "line (nothing is written to the file until then)";
  }
};

// Holds the update lock, a file beside the settings file locked with flock (QSettings itself uses
// "<file>.lock" for its writes). The kernel lets go of it when a process ends, however it ends.
class QtSettingsStore::UpdateLock {
 public:
  enum class Outcome { Held, AlreadyHeld, Busy, Unavailable };

  explicit UpdateLock(State& state) : state_(state) {
    if (state_.update_lock >= 0) {
      outcome_ = Outcome::AlreadyHeld;
      return;
    }
    const std::string path = state_.FileName() + ".update.lock";
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
      // No lock to be had (a read-only folder): the write itself will fail and say so.
      outcome_ = Outcome::Unavailable;
      return;
    }
    const auto deadline = std::chrono::steady_clock::now() + kLockWait;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      if ((error != EWOULDBLOCK && error != EINTR) ||
          std::chrono::steady_clock::now() >= deadline) {
        ::close(fd);
        outcome_ = error == EWOULDBLOCK ? Outcome::Busy : Outcome::Unavailable;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    state_.update_lock = fd;
    outcome_ = Outcome::Held;
  }
  ~UpdateLock() {
    if (outcome_ != Outcome::Held) return;
    ::flock(state_.update_lock, LOCK_UN);
    ::close(state_.update_lock);
    state_.update_lock = -1;
  }
  UpdateLock(const UpdateLock&) = delete;
  UpdateLock& operator=(const UpdateLock&) = delete;

  Outcome outcome() const { return outcome_; }
  bool held() const { return outcome_ == Outcome::Held || outcome_ == Outcome::AlreadyHeld; }

 private:
  State& state_;
  Outcome outcome_ = Outcome::Unavailable;
};

QtSettingsStore::QtSettingsStore() : state_(std::make_unique<State>()) {
  // Values under /etc/xdg or the organisation-wide file must not show through absent keys.
  state_->settings.setFallbacksEnabled(false);
  // QSettings parses a group when it is first read; all of them now, so that a file it cannot
  // read in full is known before anything could be written over it.
  static_cast<void>(state_->settings.allKeys());
  if (state_->settings.status() == QSettings::FormatError) {
    state_->unreadable = true;
    state_->write_error = state_->UnreadableMessage();
  }
}

QtSettingsStore::~QtSettingsStore() = default;

std::string QtSettingsStore::FilePath() const {
  std::lock_guard lock(state_->mutex);
  return state_->FileName();
}

std::optional<std::string> QtSettingsStore::Lookup(std::string_view key) const {
  std::lock_guard lock(state_->mutex);
  if (const auto kept = state_->unsaved.find(key); kept != state_->unsaved.end()) {
    return kept->second;
  }
  const QVariant value = state_->settings.value(GroupKey(key));
  if (!value.isValid()) return std::nullopt;
  // An unquoted "a, b" put into the file by hand reads as a list; the program itself always
  // writes plain texts, which come back as they were.
  if (value.metaType().id() == QMetaType::QStringList) {
    return ToUtf8(value.toStringList().join(u','));
  }
  return ToUtf8(value.toString());
}

void QtSettingsStore::Store(std::string_view key, std::string_view value) {
  std::lock_guard lock(state_->mutex);
  if (state_->unreadable) {
    state_->unsaved.insert_or_assign(std::string(key), std::string(value));
    return;
  }
  const UpdateLock update(*state_);
  const std::string file = state_->FileName();
  const long long previous = update.held() ? ModifiedMilliseconds(file) : -1;
  state_->settings.setValue(GroupKey(key), FromUtf8(value));
  state_->settings.sync();
  StampAfter(file, previous);
  // A failed write stays in memory for this process, so later reads still see it; the caller
  // learns it will be lost.
  if (state_->write_error.empty() && state_->settings.status() != QSettings::NoError) {
    state_->write_error = state_->settings.status() == QSettings::FormatError
                              ? state_->UnreadableMessage()
                              : "cannot write the settings file " + file;
  }
}

bool QtSettingsStore::RunExclusively(const std::function<void()>& update) {
  std::lock_guard lock(state_->mutex);
  if (state_->unreadable) return false;
  if (state_->update_depth > 0) {
    update();
    return true;
  }
  const UpdateLock held(*state_);
  if (held.outcome() == UpdateLock::Outcome::Busy) {
    if (state_->write_error.empty()) {
      state_->write_error = "the settings file " + state_->FileName() +
                            " is being changed by another program (its lock " + state_->FileName() +
                            ".update.lock has been held for over " +
                            std::to_string(kLockWait.count()) +
                            " seconds); the change was not saved";
    }
    return false;
  }
  // What other processes wrote since this one last looked.
  state_->settings.sync();
  ++state_->update_depth;
  try {
    update();
  } catch (...) {
    --state_->update_depth;
    throw;
  }
  --state_->update_depth;
  return true;
}

std::string QtSettingsStore::WriteError() const {
  std::lock_guard lock(state_->mutex);
  return state_->write_error;
}

}  // namespace quillory
