// The window program: the main window over the settings store and the conversion run.
#include <QApplication>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cstdio>
#include <string_view>

#include "engine/words.h"
#include "platform/backends.h"
#include "platform/posix/backup_copy.h"
#include "platform/posix/in_use.h"
#include "platform/qt/dialogs.h"
#include "platform/qt/settings_store.h"
#include "platform/qt/shell.h"
#include "platform/spellout/numbertext_speakers.h"
#include "quillory/version.h"
#include "ui/main/file_list_model.h"
#include "ui/main/main_window.h"

namespace {

constexpr const char* kUsage =
    "Usage: quillory [OPTION]... [WORKBOOK]...\n"
    "Rewrites the numbers of spreadsheet workbooks as words. Opens the Quillory window with the\n"
    "given workbooks in its list; nothing is converted until Start is pressed.\n"
    "\n"
    "  --help      print this help and exit\n"
    "  --version   print the version and exit\n"
    "\n"
    "Qt's own options (-platform NAME, -style NAME, ...) are accepted as well.\n"
    "The command line program quillory-cli converts without a window.\n";

// Answers --help and --version before the window system is reached, so both work without a
// display. Returns true when one was answered.
bool AnsweredWithoutWindow(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--") break;
    if (arg == "--version") {
      std::printf("quillory %.*s\n", static_cast<int>(quillory::kVersion.size()),
                  quillory::kVersion.data());
      return true;
    }
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return true;
    }
  }
  return false;
}

// The workbooks named on the command line (Qt's options already taken out), as full paths.
QStringList WorkbookArguments(const QStringList& arguments) {
  QStringList paths;
  bool options_done = false;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& arg = arguments[i];
    if (!options_done && arg == QStringLiteral("--")) {
      options_done = true;
      continue;
    }
    if (!options_done && arg.startsWith(QLatin1Char('-'))) {
      std::fprintf(stderr, "quillory: unknown option %s (see quillory --help)\n", qPrintable(arg));
      continue;
    }
    paths.append(QFileInfo(arg).absoluteFilePath());
  }
  return paths;
}

}  // namespace

int main(int argc, char** argv) {
  if (AnsweredWithoutWindow(argc, argv)) return 0;

  quillory::CleanUpOnEndingSignals();
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillory"));
  QApplication::setApplicationVersion(
      QString::fromUtf8(quillory::kVersion.data(), quillory::kVersion.size()));
  // Lets the desktop match the window with the installed menu entry and its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("com.orvanta.quillory"));

  quillory::QtSettingsStore store;
  quillory::spellout::NumbertextSpeakers speakers;
  quillory::WordSource words(store, &speakers);
  quillory::qt::Dialogs dialogs;

  quillory::ui::MainWindowServices services;
  services.draw_percent = [] {
    return static_cast<int>(QRandomGenerator::global()->bounded(1, 101));
  };
  services.open_web_page = [](const QString& address) { quillory::qt::OpenWebPage(address); };
  services.program_folder = quillory::qt::ProgramFolder();
  services.open_application = quillory::MakeApplicationFactory(quillory::Backend::Auto);
  services.spreadsheet_in_use = quillory::posix::SpreadsheetInUse;
  services.start_backup = quillory::posix::StartBackupCopy;

  quillory::ui::MainWindow window(store, words, dialogs, std::move(services));
  window.files().Append(WorkbookArguments(QApplication::arguments()));
  window.show();
  return application.exec();
}
