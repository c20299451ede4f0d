#include "ui/main/add_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include "platform/qt/dialogs.h"

namespace quillory::ui::add_folder {
namespace {

QString WithSlash(const QString& folder) {
  return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

// The folder's own path with links resolved; "" when it does not exist.
QString Canonical(const QString& folder) {
  return QFileInfo(folder).canonicalFilePath();
}

bool Stopped(const std::atomic<bool>* stop) {
  return stop != nullptr && stop->load(std::memory_order_relaxed);
}

}  // namespace

QString PickFolder(qt::Dialogs& dialogs, QWidget* owner, const QString& prompt) {
  return dialogs.ExistingFolder(owner, prompt);
}

void CollectSubfolders(QStringList& folders, const std::atomic<bool>* stop) {
  QSet<QString> entered;
  for (const QString& folder : folders) entered.insert(Canonical(folder));

  QStringList level = folders;
  while (!level.isEmpty()) {
    QStringList next;
    for (const QString& folder : level) {
      if (Stopped(stop)) return;
      const QDir dir(folder);
      const QStringList names =
          dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
      for (const QString& name : names) {
        const QString path = WithSlash(folder) + name;
        const QString canonical = Canonical(path);
        if (canonical.isEmpty() || entered.contains(canonical)) continue;
        entered.insert(canonical);
        next.append(path + QLatin1Char('/'));
      }
    }
    folders.append(next);
    level = std::move(next);
  }
}

QStringList ListMatchingFiles(const QString& folder, const QString& pattern) {
  QStringList filters = {pattern};
  if (pattern.startsWith(QStringLiteral("*.xl"), Qt::CaseInsensitive)) {
    filters << pattern + QLatin1Char('x') << pattern + QLatin1Char('m');
  }
  QDir dir(WithSlash(folder));
  dir.setNameFilters(filters);  // QDir matches these without regard to case
  return dir.entryList(QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
}

QStringList Scan(const QString& folder, const std::atomic<bool>* stop) {
  QStringList folders = {WithSlash(folder)};
  CollectSubfolders(folders, stop);
  QStringList paths;
  for (const QString& each : folders) {
    if (Stopped(stop)) break;
    for (const QString& pattern : kPatterns) {
      for (const QString& name : ListMatchingFiles(each, pattern)) {
        if (!name.startsWith(QLatin1Char('~'))) paths.append(each + name);
      }
    }
  }
  return paths;
}

}  // namespace quillory::ui::add_folder
