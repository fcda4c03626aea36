#include "platform/loader.h"

#include <dlfcn.h>

#include <utility>

namespace platform {
namespace {

std::string DlError() {
  const char* message = dlerror();
  return message != nullptr ? message : "unknown dynamic loader error";
}

std::string LoadablePath(const std::string& path) {
  return path.find('/') == std::string::npos ? "./" + path : path;
}

}  // namespace

bool IsLibraryResident(const std::string& path) {
  void* handle = dlopen(LoadablePath(path).c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) return false;
  dlclose(handle);
  return true;
}

Plugin::LoadResult Plugin::Load(const std::string& path) {
  const std::string loadable = LoadablePath(path);
  dlerror();
  void* handle = dlopen(loadable.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    return {nullptr, "cannot load plug-in '" + path + "': " + DlError()};
  }
  dlerror();
  void* symbol = dlsym(handle, "LibraryEntry");
  if (symbol == nullptr) {
    std::string error = "plug-in '" + path + "' has no LibraryEntry: " + DlError();
    dlclose(handle);
    return {nullptr, std::move(error)};
  }
  auto entry = reinterpret_cast<EntryFn>(symbol);
  return {std::unique_ptr<Plugin>(new Plugin(loadable, handle, entry)), ""};
}

Plugin::Plugin(std::string path, void* handle, EntryFn entry)
    : path_(std::move(path)), handle_(handle), entry_(entry) {}

Plugin::~Plugin() {
  if (handle_ != nullptr) dlclose(handle_);
}

int Plugin::Attach() {
  return handle_ != nullptr ? entry_(handle_, kProcessAttach, nullptr) : 0;
}

int Plugin::Detach() {
  return handle_ != nullptr ? entry_(handle_, kProcessDetach, nullptr) : 0;
}

std::string Plugin::Unload() {
  if (handle_ == nullptr) return "";
  void* handle = std::exchange(handle_, nullptr);
  entry_ = nullptr;
  dlerror();
  if (dlclose(handle) != 0) return "dlclose of '" + path_ + "' failed: " + DlError();
  if (IsLibraryResident(path_)) {
    return "plug-in '" + path_ +
           "' is still loaded after dlclose; something pins it (a unique symbol or "
           "RTLD_NODELETE), so a reload would not start from fresh state";
  }
  return "";
}

}  // namespace platform
