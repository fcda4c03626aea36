#include "platform/session.h"

#include <utility>

namespace platform {

Session::OpenResult Session::Open(const std::string& pluginPath, HostConfig config,
                                  std::string name) {
  std::string warning;
  const int64_t limitMs = config.watchdogLimitMs >= 0 ? config.watchdogLimitMs
                                                      : Watchdog::LimitFromEnvironment(&warning);
  // The host exists and is active before the library is loaded, so that its
  // scriptRegister lands here, also where the system loader attaches the
  // library inside the load.
  std::unique_ptr<Session> session(new Session(pluginPath,
                                               name.empty() ? pluginPath : std::move(name),
                                               std::make_unique<Host>(std::move(config)), limitMs));
  if (!warning.empty()) session->host_->RecordError(warning);
  Host::Activation active(*session->host_);
  std::string error = session->Attach();
  if (!error.empty()) return {nullptr, std::move(error)};
  return {std::move(session), ""};
}

Session::Session(std::string path, std::string name, std::unique_ptr<Host> host,
                 int64_t watchdogLimitMs)
    : path_(std::move(path)),
      name_(std::move(name)),
      host_(std::move(host)),
      watchdogLimitMs_(watchdogLimitMs),
      watchdog_(std::make_unique<Watchdog>(name_, watchdogLimitMs)) {}

Session::~Session() {
  Close();
}

std::string Session::Attach() {
  Host& host = *host_;
  host.scheduler().SetModuleName(name_);
  Watchdog& watchdog = *watchdog_;

  host.SetLoaderPhase("load");
  watchdog.Arm("load", host.frame());
  Plugin::LoadResult loaded = Plugin::Load(path_);
  watchdog.Disarm();
  host.SetLoaderPhase("");
  if (loaded.plugin == nullptr) {
    return loaded.error + (name_ == path_ ? "" : " (a copy of '" + name_ + "')");
  }
  plugin_ = std::move(loaded.plugin);

  host.SetLoaderPhase("attach");
  watchdog.Arm("LibraryEntry (attach)", host.frame());
  const Plugin::EntryResult attached = plugin_->Attach();
  watchdog.Disarm();
  host.SetLoaderPhase("");
  if (attached.threw) {
    // Whatever it registered before throwing goes with it, undetached: the
    // library is in a state nobody can vouch for.
    void* module = plugin_->handle();
    if (host.scheduler().ScriptCount(module) != 0) host.scheduler().Unregister(module);
    std::unique_ptr<Plugin> plugin = std::move(plugin_);
    host.SetLoaderPhase("unload");
    std::string problem = plugin->Unload();
    host.SetLoaderPhase("");
    return "plug-in '" + name_ + "' failed to attach: " + attached.problem +
           (problem.empty() ? "" : "; " + problem);
  }
  if (!attached.problem.empty()) host.RecordError(attached.problem);
  return "";
}

void Session::RunOneFrame(const FrameCallback& perFrame) {
  Host::Activation active(*host_);
  host_->BeginFrame();
  if (perFrame) perFrame(*this);
  watchdog_->Arm("script main", host_->frame());
  host_->RunScripts();
  watchdog_->Disarm();
}

void Session::RunFrames(int64_t count, const FrameCallback& perFrame) {
  for (int64_t i = 0; i < count && open(); ++i) RunOneFrame(perFrame);
}

void Session::RunForMs(int64_t ms, const FrameCallback& perFrame) {
  const int64_t until = host_->nowUs() + ms * 1000;
  while (open() && host_->nowUs() < until) RunOneFrame(perFrame);
}

bool Session::RunUntil(const std::function<bool(Session&)>& done, int64_t maxFrames,
                       const FrameCallback& perFrame) {
  for (int64_t i = 0; i < maxFrames && open(); ++i) {
    RunOneFrame(perFrame);
    if (done(*this)) return true;
  }
  return false;
}

std::string Session::Close() {
  if (!plugin_) return "";
  Host::Activation active(*host_);
  void* module = plugin_->handle();
  host_->SetLoaderPhase("detach");
  watchdog_->Arm("LibraryEntry (detach)", host_->frame());
  const Plugin::EntryResult detached = plugin_->Detach();
  if (!detached.problem.empty()) host_->RecordError(detached.problem);
  host_->SetLoaderPhase("unload");
  watchdog_->Arm("unload", host_->frame());
  std::string problem = plugin_->Unload();
  watchdog_->Disarm();
  host_->SetLoaderPhase("");
  plugin_.reset();
  if (!problem.empty()) host_->RecordError(problem);
  // A script left registered would be resumed into unmapped code; drop it.
  // (On Windows the detach arrives inside the unload, so this is checked
  // after it.)
  if (host_->scheduler().ScriptCount(module) != 0) {
    host_->RecordError("the plug-in left its script main registered at detach");
    host_->scheduler().Unregister(module);
  }
  return problem;
}

std::string Session::Reload(const std::string& pluginPath, std::string name) {
  std::string problem = Close();
  if (!problem.empty()) return problem;
  Host::Activation active(*host_);
  if (name.empty()) name = pluginPath == path_ ? name_ : pluginPath;
  path_ = pluginPath;
  if (name != name_) {
    name_ = std::move(name);
    watchdog_.reset();  // its thread ends before the next one starts
    watchdog_ = std::make_unique<Watchdog>(name_, watchdogLimitMs_);
  }
  return Attach();
}

}  // namespace platform
