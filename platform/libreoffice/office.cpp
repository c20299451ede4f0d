#include "platform/libreoffice/office.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <cppuhelper/bootstrap.hxx>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <vector>

extern char** environ;

namespace quillory::libreoffice {
namespace {

namespace fs = std::filesystem;
using namespace css;
using Clock = std::chrono::steady_clock;

constexpr const char* kProgramDir = QUILLORY_LIBREOFFICE_PROGRAM_DIR;
constexpr auto kStartTimeout = std::chrono::seconds(60);
constexpr int kFreshProfileRestart = 81;  // soffice.bin asks to be started again

std::atomic<pid_t> watched_pid{0};

// What EndAtSignal() removes, kept apart from the instance's own lock.
std::mutex signal_mutex;
std::string signal_profile;
std::string signal_pipe_file;

rtl::OUString Utf16(const std::string& text) {
  return rtl::OUString::fromUtf8(text.c_str());
}

}  // namespace

std::string FileUrl(const std::string& path) {
  std::string url = "file://";
  for (unsigned char c : path) {
    if (std::isalnum(c) || std::strchr("/-._~", c) != nullptr) {
      url += static_cast<char>(c);
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", c);
      url += escaped;
    }
  }
  return url;
}

namespace {

// The profile pins what the displayed texts depend on: en-US number formats, no document lock
// files (this program checks for other programs' locks itself), no recalculation on load, so
// formulas show the results saved in the file, and no autosave.
void WriteProfile(const std::string& profile) {
  fs::create_directories(profile + "/user");
  std::ofstream out(profile + "/user/registrymodifications.xcu");
  auto prop = [&out](const char* path, const char* name, const char* value) {
    out << "<item oor:path=\"" << path << "\"><prop oor:name=\"" << name
        << "\" oor:op=\"fuse\"><value>" << value << "</value></prop></item>\n";
  };
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\" "
         "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
         "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n";
  prop("/org.openoffice.Setup/L10N", "ooSetupSystemLocale", "en-US");
  prop("/org.openoffice.Setup/L10N", "ooLocale", "en-US");
  prop("/org.openoffice.Office.Linguistic/General", "DefaultLocale", "en-US");
  prop("/org.openoffice.Office.Common/Misc", "UseLocking", "false");
  prop("/org.openoffice.Office.Calc/Formula/Load", "OOXMLRecalcMode", "1");
  prop("/org.openoffice.Office.Calc/Formula/Load", "ODFRecalcMode", "1");
  prop("/org.openoffice.Office.Recovery/AutoSave", "Enabled", "false");
  prop("/org.openoffice.Office.Recovery/RecoveryInfo", "Enabled", "false");
  prop("/org.openoffice.Office.Common/Save/Document", "CreateBackup", "false");
  out << "</oor:items>\n";
  if (!out) throw std::runtime_error("cannot write the profile in " + profile);
}

// The process-wide local UNO context; URE_BOOTSTRAP must name LibreOffice's fundamentalrc first.
uno::Reference<uno::XComponentContext> LocalContext() {
  static std::mutex mutex;
  static uno::Reference<uno::XComponentContext> context;
  std::lock_guard lock(mutex);
  if (!context.is()) {
    const std::string bootstrap =
        std::string("vnd.sun.star.pathname:") + kProgramDir + "/fundamentalrc";
    setenv("URE_BOOTSTRAP", bootstrap.c_str(), 1);
    context = cppu::defaultBootstrap_InitialComponentContext();
  }
  return context;
}

// Where LibreOffice makes the socket of a named pipe (sal's pipe code: /tmp, else /var/tmp).
std::string PipeFile(const std::string& pipe) {
  const char* folder = access("/tmp", W_OK) == 0 ? "/tmp" : "/var/tmp";
  return std::string(folder) + "/OSL_PIPE_" + std::to_string(getuid()) + "_" + pipe;
}

// Starts the janitor: a process of its own that waits until every write end of its pipe is
// closed (this process ends, however it ends, or the instance is ended) and then removes
// `paths`. Returns its pid and sets `write_end`; 0 when it cannot be started.
pid_t StartJanitor(const std::vector<std::string>& paths, int& write_end) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return 0;
  std::vector<std::string> args = {"/bin/rm", "-rf", "--"};
  args.insert(args.end(), paths.begin(), paths.end());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    // Only async-signal-safe calls here. A group of its own, so that a Ctrl-C meant for the
    // program does not end it first; nothing of the program's kept open.
    setpgid(0, 0);
    constexpr int kReadEnd = 3;
    if (dup2(ends[0], kReadEnd) < 0) _exit(127);
    const int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
      dup2(null, 0);
      dup2(null, 1);
      dup2(null, 2);
    }
    if (close_range(kReadEnd + 1, ~0u, 0) != 0) {
      for (int fd = kReadEnd + 1; fd < 4096; ++fd) close(fd);
    }
    char byte;
    for (;;) {
      const ssize_t got = read(kReadEnd, &byte, 1);
      if (got == 0 || (got < 0 && errno != EINTR)) break;
    }
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(ends[0]);
  if (pid < 0) {
    close(ends[1]);
    return 0;
  }
  write_end = ends[1];
  return pid;
}

pid_t Spawn(const std::string& profile, const std::string& pipe) {
  const std::string program = std::string(kProgramDir) + "/soffice.bin";
  std::vector<std::string> args = {
      program,
      "--headless",
      "--invisible",
      "--nologo",
      "--norestore",
      "--nodefault",
      "--nolockcheck",
      "-env:UserInstallation=" + FileUrl(profile),
      "--accept=pipe,name=" + pipe + ";urp;StarOffice.ComponentContext"};
  // Our own bootstrap setting would make soffice.bin read the wrong configuration. The locale is
  // pinned in the profile; the environment's is replaced by one that surely exists and is UTF-8,
  // since file names are converted with it (an uninstalled locale falls back to ASCII and
  // workbooks with accented names fail to open).
  // Its temporary files (lu*.tmp) go inside the profile, which is removed however the instance
  // ends: LibreOffice removes them itself only when it ends normally.
  std::vector<std::string> env = {"LC_ALL=C.UTF-8", "LANG=C.UTF-8", "TMPDIR=" + profile + "/tmp"};
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view variable(*entry);
    const bool replaced = variable.starts_with("URE_BOOTSTRAP=") || variable.starts_with("LC_") ||
                          variable.starts_with("LANG=") || variable.starts_with("LANGUAGE=") ||
                          variable.starts_with("TMPDIR=") || variable.starts_with("TMP=") ||
                          variable.starts_with("TEMP=");
    if (!replaced) env.emplace_back(*entry);
  }
  std::vector<char*> argv, envp;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  const int log =
      open((profile + "/office.log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  const int null_in = open("/dev/null", O_RDONLY | O_CLOEXEC);
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    // Only async-signal-safe calls here. The instance dies with this program.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    setpgid(0, 0);
    // The program may hold back ending signals for a thread of its own; the instance must not.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (null_in >= 0) dup2(null_in, 0);
    if (log >= 0) {
      dup2(log, 1);
      dup2(log, 2);
    }
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  if (log >= 0) close(log);
  if (null_in >= 0) close(null_in);
  return pid;
}

std::string LogTail(const std::string& profile) {
  std::ifstream in(profile + "/office.log");
  std::stringstream text;
  text << in.rdbuf();
  std::string log = text.str();
  if (log.size() > 300) log = log.substr(log.size() - 300);
  while (!log.empty() && std::isspace(static_cast<unsigned char>(log.back()))) log.pop_back();
  return log;
}

}  // namespace

// Never destroyed: the instance is ended by EndAtExit, which runs before UNO's own teardown.
Office& Office::Shared() {
  static Office* office = new Office;
  return *office;
}

Office::Office() {
  // Started once every member is initialised; it lives as long as the process.
  std::thread([this] { WatchdogLoop(); }).detach();
}

void Office::EndAtExit() {
  Office& office = Shared();
  {
    std::lock_guard lock(office.watch_mutex_);
    office.stopping_ = true;
  }
  office.watch_wake_.notify_all();
  std::lock_guard lock(office.mutex_);
  office.KillLocked(true);
}

bool Office::Running() {
  if (pid_ == 0) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) == pid_) {
    pid_ = 0;
    KillLocked();  // tidies the references and the profile
    return false;
  }
  return true;
}

void Office::EnsureRunning(const std::string& file) {
  std::lock_guard lock(mutex_);
  if (!Running()) Start(file);
}

void Office::Start(const std::string& file) {
  const std::string program = std::string(kProgramDir) + "/soffice.bin";
  if (access(program.c_str(), X_OK) != 0) {
    throw workbook::WorkbookError(
        file,
        "LibreOffice is needed for this workbook: install the Debian package "
        "libreoffice-calc-nogui (" +
            program + " was not found)");
  }
  std::string temp = fs::temp_directory_path().string() + "/quillory-office-XXXXXX";
  if (mkdtemp(temp.data()) == nullptr) {
    throw workbook::WorkbookError(file, "cannot make a temporary folder for LibreOffice: " +
                                            std::string(std::strerror(errno)));
  }
  profile_ = temp;
  std::random_device random;
  const std::string pipe = "quillory_" + std::to_string(getpid()) + "_" + std::to_string(random());
  const std::string url = "uno:pipe,name=" + pipe + ";urp;StarOffice.ComponentContext";
  pipe_file_ = PipeFile(pipe);
  janitor_ = StartJanitor({profile_, pipe_file_}, janitor_pipe_);
  {
    std::lock_guard lock(signal_mutex);
    signal_profile = profile_;
    signal_pipe_file = pipe_file_;
  }
  try {
    WriteProfile(profile_);
    fs::create_directories(profile_ + "/tmp");
  } catch (const std::exception& error) {
    KillLocked();
    throw workbook::WorkbookError(file, error.what());
  }

  uno::Reference<bridge::XUnoUrlResolver> resolver;
  try {
    resolver = bridge::UnoUrlResolver::create(LocalContext());
  } catch (const uno::Exception& error) {
    throw workbook::WorkbookError(
        file,
        "cannot use LibreOffice's libraries: " +
            std::string(rtl::OUStringToOString(error.Message, RTL_TEXTENCODING_UTF8).getStr()));
  }
  int starts = 0;
  pid_ = Spawn(profile_, pipe);
  watched_pid = pid_;
  ++starts;
  const auto deadline = Clock::now() + kStartTimeout;
  connection_ = new Connection;
  while (!connection_->context.is()) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      // A fresh profile can make the first start end and ask to be started again.
      if (code == kFreshProfileRestart && starts < 3) {
        pid_ = Spawn(profile_, pipe);
        watched_pid = pid_;
        ++starts;
        continue;
      }
      pid_ = 0;
      const std::string log = LogTail(profile_);
      KillLocked();
      throw workbook::WorkbookError(file, "LibreOffice could not start (exit code " +
                                              std::to_string(code) + ")" +
                                              (log.empty() ? "" : ": " + log));
    }
    if (Clock::now() > deadline) {
      KillLocked();
      throw workbook::WorkbookError(file, "LibreOffice did not start within a minute");
    }
    try {
      connection_->context.set(resolver->resolve(Utf16(url)), uno::UNO_QUERY);
    } catch (const uno::Exception&) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }
  try {
    connection_->desktop = frame::Desktop::create(connection_->context);
  } catch (const uno::Exception& error) {
    KillLocked();
    throw workbook::WorkbookError(
        file,
        "LibreOffice started but does not answer: " +
            std::string(rtl::OUStringToOString(error.Message, RTL_TEXTENCODING_UTF8).getStr()));
  }
  ++generation_;
  // Registered after UNO is up, so it runs before UNO's statics are destroyed.
  static const bool registered = (std::atexit(EndAtExit), true);
  (void)registered;
}

uno::Reference<frame::XDesktop2> Office::Desktop() {
  std::lock_guard lock(mutex_);
  return connection_ == nullptr ? nullptr : connection_->desktop;
}

uno::Reference<uno::XComponentContext> Office::Context() {
  std::lock_guard lock(mutex_);
  return connection_ == nullptr ? nullptr : connection_->context;
}

int Office::Generation() {
  std::lock_guard lock(mutex_);
  return generation_;
}

pid_t Office::Pid() {
  std::lock_guard lock(mutex_);
  return Running() ? pid_ : 0;
}

std::string Office::ScratchFolder() {
  std::lock_guard lock(mutex_);
  if (profile_.empty()) return "";
  const std::string folder = profile_ + "/scratch";
  fs::create_directories(folder);
  return folder;
}

void Office::Hold() {
  std::lock_guard lock(watch_mutex_);
  ++users_;
  idle_pending_ = false;
}

void Office::Release(std::chrono::milliseconds idle) {
  std::lock_guard lock(watch_mutex_);
  if (users_ > 0 && --users_ == 0) {
    idle_pending_ = true;
    idle_deadline_ = Clock::now() + idle;
    watch_wake_.notify_all();
  }
}

void Office::End() {
  std::lock_guard lock(mutex_);
  if (!Running()) return;
  // A polite end first, so the instance tidies up; killed when it does not answer.
  const auto desktop = Desktop();
  const pid_t pid = pid_;
  try {
    const int ticket = BeginCall(std::chrono::seconds(10));
    try {
      if (desktop.is()) desktop->terminate();
    } catch (const uno::Exception&) {
    }
    EndCall(ticket);
  } catch (...) {
  }
  for (int i = 0; i < 50 && pid_ != 0; ++i) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid)
      pid_ = 0;
    else
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  KillLocked();
}

void Office::KillLocked(bool at_exit) {
  if (at_exit) {
    left_at_exit_ = connection_;  // kept reachable, never released
  } else {
    delete connection_;
  }
  connection_ = nullptr;
  if (pid_ != 0) {
    kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = 0;
  }
  watched_pid = 0;
  if (!profile_.empty()) {
    std::error_code ignored;
    fs::remove_all(profile_, ignored);
    profile_.clear();
  }
  if (!pipe_file_.empty()) {
    unlink(pipe_file_.c_str());
    pipe_file_.clear();
  }
  {
    std::lock_guard lock(signal_mutex);
    signal_profile.clear();
    signal_pipe_file.clear();
  }
  // Nothing is left for the janitor: it ends at once.
  if (janitor_pipe_ >= 0) close(janitor_pipe_);
  janitor_pipe_ = -1;
  // Reaped when it has ended, which takes a moment; a process forked meanwhile that still holds
  // a copy of the write end keeps it waiting, and then it is not waited for.
  for (int i = 0; janitor_ != 0 && i < 200; ++i) {
    if (waitpid(janitor_, nullptr, WNOHANG) != 0) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  janitor_ = 0;
}

void Office::EndAtSignal() {
  const pid_t pid = watched_pid.exchange(0);
  if (pid != 0) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  std::lock_guard lock(signal_mutex);
  std::error_code ignored;
  if (!signal_profile.empty()) fs::remove_all(signal_profile, ignored);
  if (!signal_pipe_file.empty()) unlink(signal_pipe_file.c_str());
  signal_profile.clear();
  signal_pipe_file.clear();
}

int Office::BeginCall(std::chrono::milliseconds timeout) {
  std::lock_guard lock(watch_mutex_);
  call_active_ = true;
  call_timed_out_ = false;
  call_timeout_ = timeout;
  call_deadline_ = Clock::now() + timeout;
  watch_wake_.notify_all();
  return ++ticket_;
}

bool Office::EndCall(int ticket) {
  std::lock_guard lock(watch_mutex_);
  if (ticket == ticket_) call_active_ = false;
  return call_timed_out_;
}

workbook::WorkbookError Office::Failure(const std::string& file, std::string_view what,
                                        bool timed_out, const std::string& message) {
  if (timed_out) {
    {
      // The watchdog has killed it: reap it now, so the next workbook starts a new instance.
      std::lock_guard lock(mutex_);
      if (pid_ != 0) {
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = 0;
      }
      KillLocked();
    }
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(call_timeout_).count();
    return workbook::WorkbookError(file, "LibreOffice stopped responding while " +
                                             std::string(what) + " and was ended after " +
                                             std::to_string(seconds) +
                                             " s; the workbook was left as it was");
  }
  {
    std::lock_guard lock(mutex_);
    if (!Running()) {
      return workbook::WorkbookError(file,
                                     "LibreOffice ended unexpectedly while " + std::string(what));
    }
  }
  return workbook::WorkbookError(file, "LibreOffice failed while " + std::string(what) +
                                           (message.empty() ? "" : ": " + message));
}

void Office::WatchdogLoop() {
  std::unique_lock lock(watch_mutex_);
  while (!stopping_) {
    auto wake = Clock::now() + std::chrono::seconds(10);
    if (call_active_) wake = std::min(wake, call_deadline_);
    if (idle_pending_) wake = std::min(wake, idle_deadline_);
    watch_wake_.wait_until(lock, wake);
    if (stopping_) break;
    const auto now = Clock::now();
    if (call_active_ && !call_timed_out_ && now >= call_deadline_) {
      // The call never returns on its own: ending the process releases it with an exception.
      call_timed_out_ = true;
      const pid_t pid = watched_pid;
      if (pid != 0) kill(pid, SIGKILL);
    }
    if (idle_pending_ && users_ == 0 && now >= idle_deadline_) {
      idle_pending_ = false;
      lock.unlock();
      {
        std::unique_lock office(mutex_, std::try_to_lock);
        if (office.owns_lock()) {
          KillLocked();
        }
      }
      lock.lock();
    }
  }
}

}  // namespace quillory::libreoffice
