// Loads a plug-in library and drives its entry function.
//
// Order: Load, Attach, frames, Detach, Unload. On Linux: Load is dlopen with
// RTLD_NOW | RTLD_LOCAL and a dlsym of "LibraryEntry"; Attach calls
// LibraryEntry(handle, 1, NULL), Detach LibraryEntry(handle, 0, NULL); Unload
// is dlclose. On Windows the system loader itself delivers attach inside Load
// (LoadLibraryW calls DllMain) and detach inside Unload (FreeLibrary), so
// Attach and Detach only answer 1 there: calling the entry by hand would
// register the script twice. Since attach may run inside Load, the host that
// should see scriptRegister must be active before Load.
//
// Unload then checks that the library really left the process, so that the
// next load starts from fresh static state; a library that something pins is
// reported.
//
// Failures are returned as messages; nothing here throws. An exception that
// LibraryEntry throws is caught where Attach and Detach call it and reported.
// On Windows the system loader makes those calls itself, inside LoadLibraryW
// and FreeLibrary, and an exception escaping DllMain passes through the
// system's frames, where C++ cannot catch it. Wine's loader catches it and
// fails the load, which Load reports as LibraryEntry throwing; what Windows
// itself does is up to its loader, so a Windows plug-in must keep exceptions
// inside its DllMain.
#ifndef HOMESTEAD_PLATFORM_LOADER_H
#define HOMESTEAD_PLATFORM_LOADER_H

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

class Plugin {
 public:
  using EntryFn = int (*)(void* module, uint32_t reason, void* reserved);
  static constexpr uint32_t kProcessDetach = 0;
  static constexpr uint32_t kProcessAttach = 1;

  struct LoadResult {
    std::unique_ptr<Plugin> plugin;  // null on failure
    std::string error;
  };

  // A path without a slash is taken relative to the working directory, not
  // searched for in the system's library paths.
  static LoadResult Load(const std::string& path);

  // Closes the library if Unload was not called (without a detach).
  ~Plugin();
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;

  struct EntryResult {
    bool threw = false;
    std::string problem;  // empty when LibraryEntry answered 1
  };
  EntryResult Attach();
  EntryResult Detach();
  // Unloads the library; returns an empty string, or what went wrong.
  std::string Unload();

  void* handle() const { return handle_; }
  const std::string& path() const { return path_; }
  bool loaded() const { return handle_ != nullptr; }

 private:
  Plugin(std::string path, void* handle, EntryFn entry);
  EntryResult CallEntry(uint32_t reason, const std::string& step);

  std::string path_;
  void* handle_;
  EntryFn entry_;
};

// Whether the library at `path` is mapped into this process right now.
bool IsLibraryResident(const std::string& path);

}  // namespace platform

#endif  // HOMESTEAD_PLATFORM_LOADER_H
