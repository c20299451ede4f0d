// The window program: the main window over the settings store and the conversion run.
#include <QApplication>
#include <QRandomGenerator>

#include "engine/words.h"
#include "platform/backends.h"
#include "platform/qt/dialogs.h"
#include "platform/qt/settings_store.h"
#include "platform/qt/shell.h"
#include "platform/spellout/numbertext_speakers.h"
#include "ui/main/main_window.h"
#include "workbook/in_use.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillory"));

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
  services.spreadsheet_in_use = quillory::workbook::SpreadsheetInUse;

  quillory::ui::MainWindow window(store, words, dialogs, std::move(services));
  window.show();
  return application.exec();
}
