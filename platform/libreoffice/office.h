#pragma once

#include <sys/types.h>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/uno/Exception.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "workbook/spreadsheet.h"

namespace quillory::libreoffice {

namespace css = com::sun::star;

// The program's own headless LibreOffice: a soffice.bin process with a private temporary profile,
// reached through a named pipe. Never the user's office. Shared by every workbook of the process,
// ended after a while without users, when it hangs, and at exit.
// A file URL for a local absolute path.
std::string FileUrl(const std::string& path);

class Office {
 public:
  static Office& Shared();

  // Starts the instance when none runs. Throws WorkbookError naming `file` when it cannot start.
  void EnsureRunning(const std::string& file);
  css::uno::Reference<css::frame::XDesktop2> Desktop();
  css::uno::Reference<css::uno::XComponentContext> Context();
  // Counts up each time a new instance starts, so documents of an ended one can tell.
  int Generation();
  pid_t Pid();
  // A folder inside the private profile for temporary exports; "" when no instance runs.
  std::string ScratchFolder();

  // Applications holding the instance; with none for `idle`, it is ended.
  void Hold();
  void Release(std::chrono::milliseconds idle);

  void End();

  // For a program ended by a signal: kills the instance and removes its folders without taking
  // the lock another thread may hold while it waits on the instance.
  static void EndAtSignal();

  // Runs `call` under the watchdog. A call that takes longer than `timeout` ends the instance;
  // LibreOffice's exceptions become WorkbookError naming `file` and saying what was being done.
  template <class Call>
  auto Guarded(const std::string& file, std::string_view what, std::chrono::milliseconds timeout,
               Call&& call) -> decltype(call()) {
    const int ticket = BeginCall(timeout);
    try {
      if constexpr (std::is_void_v<decltype(call())>) {
        call();
        EndCall(ticket);
      } else {
        auto result = call();
        EndCall(ticket);
        return result;
      }
    } catch (const css::uno::Exception& error) {
      const bool timed_out = EndCall(ticket);
      throw Failure(file, what, timed_out,
                    rtl::OUStringToOString(error.Message, RTL_TEXTENCODING_UTF8).getStr());
    } catch (...) {
      EndCall(ticket);
      throw;
    }
  }

  Office(const Office&) = delete;
  Office& operator=(const Office&) = delete;

 private:
  Office();
  static void EndAtExit();
  int BeginCall(std::chrono::milliseconds timeout);
  bool EndCall(int ticket);  // true when the watchdog ended the instance during the call
  workbook::WorkbookError Failure(const std::string& file, std::string_view what, bool timed_out,
                                  const std::string& message);
  void Start(const std::string& file);
  bool Running();  // the caller holds mutex_
  // Kills the process and drops the connection; at exit the references are left unreleased,
  // since the bridge may already be gone.
  void KillLocked(bool at_exit = false);
  void WatchdogLoop();

  std::recursive_mutex mutex_;
  pid_t pid_ = 0;
  int generation_ = 0;
  std::string profile_;
  std::string pipe_file_;  // the socket LibreOffice makes for its named pipe
  // A process that removes the profile and the socket when this one ends, however it ends; it
  // starts its work when the write end of its pipe closes.
  pid_t janitor_ = 0;
  int janitor_pipe_ = -1;
  struct Connection {
    css::uno::Reference<css::uno::XComponentContext> context;
    css::uno::Reference<css::frame::XDesktop2> desktop;
  };
  Connection* connection_ = nullptr;
  Connection* left_at_exit_ = nullptr;
  int users_ = 0;

  // Watchdog state.
  std::mutex watch_mutex_;
  std::condition_variable watch_wake_;
  bool stopping_ = false;
  int ticket_ = 0;
  bool call_active_ = false;
  std::chrono::steady_clock::time_point call_deadline_;
  std::chrono::milliseconds call_timeout_{0};
  bool call_timed_out_ = false;
  bool idle_pending_ = false;
  std::chrono::steady_clock::time_point idle_deadline_;
};

}  // namespace quillory::libreoffice
