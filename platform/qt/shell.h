#pragma once

#include <QString>

namespace quillory::qt {

// Hands a web address to the desktop, which opens it in the user's browser. False when nothing
// could open it; no message either way.
bool OpenWebPage(const QString& address);

// The folder the running program was started from.
QString ProgramFolder();

}  // namespace quillory::qt
