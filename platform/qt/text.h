#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace quillory::qt {

// Texts outside Qt (the store, the workbooks, the run) are UTF-8.
inline QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string ToUtf8(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace quillory::qt
