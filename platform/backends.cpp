#include "platform/backends.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <thread>

#include "platform/libreoffice/loader.h"
#include "platform/xlsx/xlsx_application.h"
#include "workbook/file_names.h"
#include "workbook/file_replace.h"

namespace quillory {

std::optional<Backend> ParseBackend(std::string_view name) {
  if (name == "auto") return Backend::Auto;
  if (name == "embedded") return Backend::Embedded;
  if (name == "libreoffice") return Backend::LibreOffice;
  return std::nullopt;
}

bool IsXlsxFamily(std::string_view path) {
  const std::string extension = workbook::LowerExtension(std::string(path));
  return extension == ".xlsx" || extension == ".xlsm" || extension == ".xltx" ||
         extension == ".xltm";
}

workbook::ApplicationFactory MakeApplicationFactory(Backend backend) {
  return [backend](const std::string& path) -> std::unique_ptr<workbook::Application> {
    if (backend == Backend::Embedded || (backend == Backend::Auto && IsXlsxFamily(path))) {
      return xlsx::MakeEmbeddedApplication();
    }
    return libreoffice::MakeLibreOfficeApplication();
  };
}

void CleanUpOnEndingSignals() {
  // Held back in every thread (threads started later inherit this) and taken by one thread of
  // its own, which may do what a signal handler may not.
  sigset_t ending;
  sigemptyset(&ending);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&ending, signal);
  if (pthread_sigmask(SIG_BLOCK, &ending, nullptr) != 0) return;
  std::thread([ending] {
    int signal = 0;
    while (sigwait(&ending, &signal) != 0) {
    }
    // Before and after the instance ends: a save that fails when it goes may leave its own.
    workbook::RemoveLeftovers();
    libreoffice::EndLibreOfficeAtSignal();
    workbook::RemoveLeftovers();
    // Then ends as the signal would have, for whoever waits on this program.
    ::signal(signal, SIG_DFL);
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, signal);
    pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    ::raise(signal);
    ::_exit(128 + signal);
  }).detach();
}

}  // namespace quillory
