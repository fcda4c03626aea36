// Runs a plug-in in a fresh host and world: load, frames, unload.
//
//   auto opened = platform::Session::Open(path);
//   if (!opened.session) { report opened.error; }
//   opened.session->RunFrames(600, [](platform::Session& s) {
//     s.world().MovePlayerToward(target, 0.1f);
//   });
//   std::string problem = opened.session->Close();
//
// The per-frame callback runs after the world has moved to the frame's time
// and before the script mains run in that frame, on the host's own stack.
// Each session makes its own Host (and so its own World) and makes it the
// active host while it attaches, runs frames and closes.
//
// A session does not trust the plug-in: a watchdog (watchdog.h) ends the
// program when the plug-in's code does not give control back; an exception
// out of LibraryEntry's attach makes the open fail, with the library
// unloaded; every other misstep is a host error. No host operation may be
// called while the plug-in is loaded, attached, detached or unloaded. Sessions may follow
// one another in one process, each from fresh state.
//
// Reload does what a script hook's reload key does: it detaches and unloads
// the plug-in, abandoning its script main wherever it waits (its fibre's
// stack is freed without unwinding), and loads and attaches a library again
// into the same host and world, which keep everything the old instance made. Two sessions open at
// once keep their own hosts, but if they load the same library they share its
// static state, since a process maps a library only once.
#ifndef HOMESTEAD_PLATFORM_SESSION_H
#define HOMESTEAD_PLATFORM_SESSION_H

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/host.h"
#include "platform/loader.h"
#include "platform/watchdog.h"

namespace platform {

class Session {
 public:
  struct OpenResult {
    std::unique_ptr<Session> session;  // null on failure
    std::string error;
  };
  using FrameCallback = std::function<void(Session&)>;

  // Makes the host, loads the plug-in and attaches it. `name` tells the
  // plug-in in messages (the script hook's and the watchdog's), for a library
  // loaded from a copy of the one the user named; empty: `pluginPath`.
  static OpenResult Open(const std::string& pluginPath, HostConfig config = {},
                         std::string name = {});

  // Closes the session if Close was not called.
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Runs `count` frames. Does nothing once the session is closed.
  void RunFrames(int64_t count, const FrameCallback& perFrame = {});
  // Runs frames until at least `ms` of simulated time have passed.
  void RunForMs(int64_t ms, const FrameCallback& perFrame = {});
  // Runs frames until `done` answers true after a frame, at most `maxFrames`.
  // Returns whether `done` was reached.
  bool RunUntil(const std::function<bool(Session&)>& done, int64_t maxFrames,
                const FrameCallback& perFrame = {});

  // Detaches and unloads the plug-in. Returns an empty string, or what went
  // wrong (also recorded in the host's errors).
  std::string Close();
  // Closes the plug-in and opens the library at `pluginPath` in its place,
  // in this host and world. Returns an empty string, or what went wrong; a
  // library that cannot be loaded or attached leaves the session closed.
  // `name` as for Open; empty: the name so far for the same path, else
  // `pluginPath`.
  std::string Reload(const std::string& pluginPath, std::string name = {});
  bool open() const { return plugin_ != nullptr; }

  Host& host() { return *host_; }
  World& world() { return host_->world(); }
  const std::string& pluginPath() const { return path_; }

 private:
  Session(std::string path, std::string name, std::unique_ptr<Host> host, int64_t watchdogLimitMs);
  void RunOneFrame(const FrameCallback& perFrame);
  // Loads and attaches the library at path_ into the active host; the
  // message of a failure, with the library unloaded again.
  std::string Attach();

  std::string path_;
  std::string name_;  // of path_, in messages
  std::unique_ptr<Host> host_;
  int64_t watchdogLimitMs_;
  std::unique_ptr<Watchdog> watchdog_;  // names name_
  std::unique_ptr<Plugin> plugin_;
};

}  // namespace platform

#endif  // HOMESTEAD_PLATFORM_SESSION_H
