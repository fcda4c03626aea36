#include "platform/session.h"

#include <utility>

namespace platform {

Session::OpenResult Session::Open(const std::string& pluginPath, HostConfig config) {
  // The host exists and is active before the library is loaded, so that its
  // scriptRegister lands here, also where the system loader attaches the
  // library inside the load.
  std::unique_ptr<Session> session(
      new Session(pluginPath, std::make_unique<Host>(std::move(config))));
  Host::Activation active(*session->host_);
  Plugin::LoadResult loaded = Plugin::Load(pluginPath);
  if (loaded.plugin == nullptr) return {nullptr, std::move(loaded.error)};
  session->plugin_ = std::move(loaded.plugin);
  if (session->plugin_->Attach() != 1) {
    session->host_->RecordError("LibraryEntry did not report success for the attach");
  }
  return {std::move(session), ""};
}

Session::Session(std::string path, std::unique_ptr<Host> host)
    : path_(std::move(path)), host_(std::move(host)) {}

Session::~Session() {
  Close();
}

void Session::RunOneFrame(const FrameCallback& perFrame) {
  Host::Activation active(*host_);
  host_->BeginFrame();
  if (perFrame) perFrame(*this);
  host_->RunScripts();
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
  if (plugin_->Detach() != 1) {
    host_->RecordError("LibraryEntry did not report success for the detach");
  }
  std::string problem = plugin_->Unload();
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

}  // namespace platform
