#include "platform/qt/settings_store.h"

#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <mutex>

namespace quillory {
namespace {

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

}  // namespace

// One QSettings for every read and write; QSettings objects are not safe to share between threads
// on their own, hence the lock.
struct QtSettingsStore::State {
  std::mutex mutex;
  QSettings settings{QStringLiteral("Orvanta"), QStringLiteral("Quillory")};
  std::string write_error;  // the first write that did not reach the file
};

QtSettingsStore::QtSettingsStore() : state_(std::make_unique<State>()) {
  // Values under /etc/xdg or the organisation-wide file must not show through absent keys.
  state_->settings.setFallbacksEnabled(false);
}

QtSettingsStore::~QtSettingsStore() = default;

std::string QtSettingsStore::FilePath() const {
  std::lock_guard lock(state_->mutex);
  return ToUtf8(state_->settings.fileName());
}

std::optional<std::string> QtSettingsStore::Lookup(std::string_view key) const {
  std::lock_guard lock(state_->mutex);
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
  state_->settings.setValue(GroupKey(key), FromUtf8(value));
  state_->settings.sync();
  // A failed write stays in memory for this process, so later reads still see it; the caller
  // learns it will be lost.
  if (state_->write_error.empty() && state_->settings.status() != QSettings::NoError) {
    state_->write_error = "cannot write the settings file " + ToUtf8(state_->settings.fileName());
  }
}

std::string QtSettingsStore::WriteError() const {
  std::lock_guard lock(state_->mutex);
  return state_->write_error;
}

}  // namespace quillory
