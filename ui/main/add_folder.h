#pragma once

#include <QString>
#include <QStringList>
#include <atomic>

class QWidget;

namespace quillory::qt {
class Dialogs;
}

// Adding every workbook of a folder and the folders below it. Each call keeps its state to
// itself, so two scans can run at the same time on different threads.
namespace quillory::ui::add_folder {

inline const QString kFolderPrompt = QStringLiteral("Please select folder to add:");

// The patterns a scan looks for, in this order: workbooks, templates, OpenDocument spreadsheets
// and their templates.
inline const QStringList kPatterns = {QStringLiteral("*.xls"), QStringLiteral("*.xlt"),
                                      QStringLiteral("*.ods"), QStringLiteral("*.ots")};

// The folder the user chose; "" when cancelled.
QString PickFolder(qt::Dialogs& dialogs, QWidget* owner, const QString& prompt);

// Appends every folder below the folders of `folders`, all levels, breadth-first: each level
// after the one above, grouped by parent in the parents' order. Every path ends with "/". Hidden
// folders are not entered and no folder is entered twice (links that loop back are skipped).
// Stops early, with the folders found so far, once `stop` is set.
void CollectSubfolders(QStringList& folders, const std::atomic<bool>* stop = nullptr);

// The names (no folder) of the files in `folder` matching `pattern` (one of kPatterns), in name
// order. The match ignores case; "*.xls" and "*.xlt" also take the four-letter extensions that
// begin with theirs and end in "x" or "m" (xlsx, xlsm, xltx, xltm). Hidden files are included.
QStringList ListMatchingFiles(const QString& folder, const QString& pattern);

// The full paths a scan of `folder` adds, in order: folder by folder, each folder's files pattern
// by pattern; names beginning with "~" (owner files of open workbooks) left out.
// Once `stop` is set it ends soon, with part of the paths.
QStringList Scan(const QString& folder, const std::atomic<bool>* stop = nullptr);

}  // namespace quillory::ui::add_folder
