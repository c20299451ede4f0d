#pragma once

#include <memory>
#include <string>

#include "platform/libreoffice/plugin_api.h"
#include "workbook/spreadsheet.h"

namespace quillory::libreoffice {

// The LibreOffice application, loaded from its plugin on first use. When the plugin or
// LibreOffice itself is missing, opening a workbook fails with a message saying what to install.
std::unique_ptr<workbook::Application> MakeLibreOfficeApplication();

struct LoaderSettings {
  // The plugin file; empty: beside the executable, then in ../lib/quillory from it, then (for a
  // program in the build folder) the one built there.
  std::string plugin_path;
  OfficeSettings office;
};
std::unique_ptr<workbook::Application> MakeLibreOfficeApplication(const LoaderSettings& settings);

// The process id of the shared LibreOffice instance, 0 when none runs or the plugin is not loaded.
int LibreOfficeInstancePid();

// Ends the shared instance now; the next workbook starts a new one.
void EndLibreOfficeInstance();

// For a program ended by a signal: ends the instance at once, removing its folders and the new
// files of unfinished saves. Never waits for another thread.
void EndLibreOfficeAtSignal();

// For tests: the hook called at each step of the plugin's saves; the plugin must be loaded.
void SetLibreOfficeFileStepHook(workbook::FileStepHook hook);

// The plugin file that MakeLibreOfficeApplication() loads, "" when none is found.
std::string FindLibreOfficePlugin();

}  // namespace quillory::libreoffice
