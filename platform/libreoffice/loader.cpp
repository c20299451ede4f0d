#include "platform/libreoffice/loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <mutex>
#include <system_error>

#include "workbook/regular_file.h"

namespace quillory::libreoffice {
namespace {

constexpr const char* kPluginFile = "quillory_libreoffice.so";
constexpr const char* kInstallAdvice =
    "LibreOffice is needed for this workbook: install the Debian package libreoffice-calc-nogui";

// Stands in for LibreOffice when it cannot be used: every workbook fails with the reason.
class MissingApplication : public workbook::Application {
 public:
  explicit MissingApplication(std::string reason) : reason_(std::move(reason)) {}
  std::unique_ptr<workbook::Workbook> Open(const std::string& path) override {
    // A named pipe is no workbook whatever is installed.
    if (const std::string why = workbook::WhyNotARegularFile(path); !why.empty()) {
      throw workbook::WorkbookError(path, why);
    }
    throw workbook::WorkbookError(path, reason_);
  }
  void SetVisible(bool) override {}
  void Quit() override {}

 private:
  std::string reason_;
};

struct LoadedPlugin {
  Plugin* plugin = nullptr;
  std::string error;
};

std::mutex loader_mutex;
std::map<std::string, LoadedPlugin> loaded;  // by plugin path; never unloaded
std::atomic<Plugin*> last_plugin{nullptr};

std::filesystem::path ExecutableFolder() {
  std::error_code error;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : exe.parent_path();
}

// Loads the plugin at `path` once; the caller holds loader_mutex.
LoadedPlugin& Load(const std::string& path) {
  auto found = loaded.find(path);
  if (found != loaded.end()) return found->second;
  LoadedPlugin& entry = loaded[path];
  if (path.empty() || !std::filesystem::exists(path)) {
    entry.error = std::string(kInstallAdvice) + " (the program's LibreOffice plugin " +
                  kPluginFile + " was not found" + (path.empty() ? "" : " at " + path) +
                  "; reinstall Quillory, or when building it yourself, install libreoffice-dev "
                  "and build again)";
    return entry;
  }
  // RTLD_LOCAL keeps LibreOffice's libraries out of the program's symbol space.
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = dlerror();
    entry.error = std::string(kInstallAdvice) + " (" + (reason ? reason : path) + ")";
    return entry;
  }
  auto* entry_point =
      reinterpret_cast<Plugin* (*)()>(dlsym(handle, QUILLORY_LIBREOFFICE_PLUGIN_SYMBOL));
  if (entry_point == nullptr) {
    entry.error = path + " is not the program's LibreOffice plugin";
    return entry;
  }
  entry.plugin = entry_point();
  return entry;
}

}  // namespace

std::string FindLibreOfficePlugin() {
  const auto folder = ExecutableFolder();
  const auto beside = folder / kPluginFile;
  if (std::filesystem::exists(beside)) return beside.string();
  // Installed: PREFIX/bin/quillory and PREFIX/lib/quillory/quillory_libreoffice.so.
  const auto installed = folder.parent_path() / "lib" / "quillory" / kPluginFile;
  if (std::filesystem::exists(installed)) return installed.string();
#if defined(QUILLORY_LIBREOFFICE_PLUGIN_BUILD_PATH) && defined(QUILLORY_BUILD_DIR)
  // Programs and tests run from the build folder use the plugin built there. An installed
  // program never looks there: the folder it was built in may be gone or writable by others.
  std::error_code error;
  const auto build_folder = std::filesystem::weakly_canonical(QUILLORY_BUILD_DIR, error);
  const auto relative = folder.lexically_relative(build_folder);
  const bool in_build_folder =
      !error && !folder.empty() && !relative.empty() && *relative.begin() != "..";
  if (in_build_folder && std::filesystem::exists(QUILLORY_LIBREOFFICE_PLUGIN_BUILD_PATH)) {
    return QUILLORY_LIBREOFFICE_PLUGIN_BUILD_PATH;
  }
#endif
  return "";
}

std::unique_ptr<workbook::Application> MakeLibreOfficeApplication(const LoaderSettings& settings) {
  const std::string path =
      settings.plugin_path.empty() ? FindLibreOfficePlugin() : settings.plugin_path;
  std::lock_guard lock(loader_mutex);
  LoadedPlugin& entry = Load(path);
  if (entry.plugin == nullptr) return std::make_unique<MissingApplication>(entry.error);
  last_plugin = entry.plugin;
  return entry.plugin->MakeApplication(settings.office);
}

std::unique_ptr<workbook::Application> MakeLibreOfficeApplication() {
  return MakeLibreOfficeApplication(LoaderSettings{});
}

int LibreOfficeInstancePid() {
  std::lock_guard lock(loader_mutex);
  Plugin* plugin = last_plugin;
  return plugin == nullptr ? 0 : plugin->InstancePid();
}

void EndLibreOfficeInstance() {
  std::lock_guard lock(loader_mutex);
  if (Plugin* plugin = last_plugin) plugin->EndInstance();
}

void EndLibreOfficeAtSignal() {
  // No lock: the thread that holds it may be waiting on the instance.
  if (Plugin* plugin = last_plugin) plugin->EndAtSignal();
}

void SetLibreOfficeFileStepHook(workbook::FileStepHook hook) {
  std::lock_guard lock(loader_mutex);
  if (Plugin* plugin = last_plugin) plugin->SetFileStepHook(std::move(hook));
}

}  // namespace quillory::libreoffice
