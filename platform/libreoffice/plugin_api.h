#pragma once

// The interface between the program and the LibreOffice plugin (quillory_libreoffice.so).
// Both sides are built from this tree with the same compiler, so C++ types cross it.

#include <chrono>
#include <memory>

#include "workbook/file_replace.h"
#include "workbook/spreadsheet.h"

namespace quillory::libreoffice {

struct OfficeSettings {
  // How long LibreOffice may take over one call before it is taken as hung and ended.
  std::chrono::milliseconds open_timeout{std::chrono::seconds(180)};  // load and store
  std::chrono::milliseconds call_timeout{std::chrono::seconds(60)};   // everything else
  // How long the instance stays up with no application using it, for the next workbook.
  std::chrono::milliseconds idle_timeout{std::chrono::seconds(30)};
  // Whether a save reads back the copy LibreOffice stored and compares it with the workbook before
  // it replaces the file. Turned off only to measure what that costs.
  bool read_back_saves = true;
};

class Plugin {
 public:
  virtual ~Plugin() = default;
  // A handle on the shared headless instance, started on first use.
  virtual std::unique_ptr<workbook::Application> MakeApplication(
      const OfficeSettings& settings) = 0;
  // The process id of the running instance, 0 when none runs.
  virtual int InstancePid() = 0;
  // Ends the instance now (open workbooks are closed without saving).
  virtual void EndInstance() = 0;
  // For a program ended by a signal: ends the instance at once and removes its folders and the
  // new files of saves not finished, without waiting for a thread that is inside the instance.
  virtual void EndAtSignal() = 0;
  // For tests: called at each step of the plugin's saves (see workbook/file_replace.h).
  virtual void SetFileStepHook(workbook::FileStepHook hook) = 0;
};

}  // namespace quillory::libreoffice

// The plugin's one exported symbol.
extern "C" quillory::libreoffice::Plugin* QuilloryLibreOfficePlugin();
#define QUILLORY_LIBREOFFICE_PLUGIN_SYMBOL "QuilloryLibreOfficePlugin"
