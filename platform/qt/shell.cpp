#include "platform/qt/shell.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QUrl>

namespace quillory::qt {

bool OpenWebPage(const QString& address) {
  return QDesktopServices::openUrl(QUrl(address));
}

QString ProgramFolder() {
  return QCoreApplication::applicationDirPath();
}

}  // namespace quillory::qt
