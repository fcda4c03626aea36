#include "platform/loader.h"

#include <exception>
#include <utility>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <dlfcn.h>
#endif

// Sections: the system loader behind four small functions (Windows, then
// POSIX); the Plugin on top of them.

namespace platform {
namespace {

#if defined(_WIN32)

constexpr bool kLoaderDeliversEntry = true;

std::wstring Widen(const std::string& text) {
  const int count =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(count), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), count);
  return wide;
}

std::string Narrow(const wchar_t* text, int count) {
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, count, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, count, narrow.data(), bytes, nullptr, nullptr);
  return narrow;
}

// The system's own words for the last error.
std::string SystemError() {
  const DWORD code = GetLastError();
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string message =
      length > 0 ? Narrow(buffer, static_cast<int>(length)) : "error " + std::to_string(code);
  LocalFree(buffer);
  // Some messages leave a place for the file name, which follows anyway.
  if (const std::size_t at = message.find("%1"); at != std::string::npos) {
    message.replace(at, 2, "this file");
  }
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return message;
}

// The full path with backslashes: what the system loader matches modules by.
// A bare file name is thereby taken from the working directory, not searched
// for in the system's library paths.
std::wstring FullPath(const std::string& path) {
  const std::wstring wide = Widen(path);
  const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return wide;
  std::wstring full(size, L'\0');
  const DWORD written = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  full.resize(written);
  return full;
}

// The system exception code by which GCC's unwinder raises a C++ exception.
constexpr DWORD kCxxExceptionCode = 0x20474343;

// LoadLibraryW itself runs static initialisation and then DllMain(attach).
// Wine's loader catches an exception that escapes DllMain and fails the load
// with the exception's code as the error.
void* OpenLibrary(const std::string& path, std::string* error) {
  HMODULE module = LoadLibraryW(FullPath(path).c_str());
  if (module != nullptr) return reinterpret_cast<void*>(module);
  *error = GetLastError() == kCxxExceptionCode
               ? "LibraryEntry threw an exception during the attach (out of DllMain)"
               : SystemError();
  return nullptr;
}

void* FindEntry(void* handle, std::string* error) {
  FARPROC symbol = GetProcAddress(static_cast<HMODULE>(handle), "LibraryEntry");
  if (symbol == nullptr) *error = SystemError();
  return reinterpret_cast<void*>(symbol);
}

// FreeLibrary runs DllMain(detach) and then the static destructors.
bool CloseLibrary(void* handle, std::string* error) {
  if (FreeLibrary(static_cast<HMODULE>(handle))) return true;
  *error = SystemError();
  return false;
}

bool IsResident(const std::string& path) {
  return GetModuleHandleW(FullPath(path).c_str()) != nullptr;
}

std::string LoadablePath(const std::string& path) {
  return path;
}

#else

constexpr bool kLoaderDeliversEntry = false;

std::string DlError() {
  const char* message = dlerror();
  return message != nullptr ? message : "unknown dynamic loader error";
}

void* OpenLibrary(const std::string& path, std::string* error) {
  dlerror();
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) *error = DlError();
  return handle;
}

void* FindEntry(void* handle, std::string* error) {
  dlerror();
  void* symbol = dlsym(handle, "LibraryEntry");
  if (symbol == nullptr) *error = DlError();
  return symbol;
}

bool CloseLibrary(void* handle, std::string* error) {
  dlerror();
  if (dlclose(handle) == 0) return true;
  *error = DlError();
  return false;
}

bool IsResident(const std::string& path) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) return false;
  dlclose(handle);
  return true;
}

// A path without a slash is taken relative to the working directory, not
// searched for in the system's library paths.
std::string LoadablePath(const std::string& path) {
  return path.find('/') == std::string::npos ? "./" + path : path;
}

#endif

}  // namespace

bool IsLibraryResident(const std::string& path) {
  return IsResident(LoadablePath(path));
}

Plugin::LoadResult Plugin::Load(const std::string& path) {
  const std::string loadable = LoadablePath(path);
  std::string error;
  void* handle = OpenLibrary(loadable, &error);
  if (handle == nullptr) return {nullptr, "cannot load plug-in '" + path + "': " + error};
  void* symbol = FindEntry(handle, &error);
  if (symbol == nullptr) {
    std::string message = "plug-in '" + path + "' has no LibraryEntry: " + error;
    CloseLibrary(handle, &error);
    return {nullptr, std::move(message)};
  }
  auto entry = reinterpret_cast<EntryFn>(symbol);
  return {std::unique_ptr<Plugin>(new Plugin(loadable, handle, entry)), ""};
}

Plugin::Plugin(std::string path, void* handle, EntryFn entry)
    : path_(std::move(path)), handle_(handle), entry_(entry) {}

Plugin::~Plugin() {
  std::string ignored;
  if (handle_ != nullptr) CloseLibrary(handle_, &ignored);
}

Plugin::EntryResult Plugin::Attach() {
  return CallEntry(kProcessAttach, "attach");
}

Plugin::EntryResult Plugin::Detach() {
  return CallEntry(kProcessDetach, "detach");
}

Plugin::EntryResult Plugin::CallEntry(uint32_t reason, const std::string& step) {
  if (handle_ == nullptr) return {false, "plug-in '" + path_ + "' is not loaded for the " + step};
  if (kLoaderDeliversEntry) return {};
  // The exception comes from the plug-in's frames and ends here, so that a
  // faulty plug-in cannot take the host down with it.
  try {
    if (entry_(handle_, reason, nullptr) == 1) return {};
    return {false, "LibraryEntry did not report success for the " + step};
  } catch (const std::exception& e) {
    return {true, "LibraryEntry threw an exception during the " + step + " (" + e.what() + ")"};
  } catch (...) {
    return {true, "LibraryEntry threw an exception during the " + step};
  }
}

std::string Plugin::Unload() {
  if (handle_ == nullptr) return "";
  void* handle = std::exchange(handle_, nullptr);
  entry_ = nullptr;
  std::string error;
  if (!CloseLibrary(handle, &error)) return "unloading '" + path_ + "' failed: " + error;
  if (IsResident(path_)) {
    return "plug-in '" + path_ +
           "' is still loaded after it was unloaded; something pins it, so a reload would not "
           "start from fresh state";
  }
  return "";
}

}  // namespace platform
