#include "sim/sweep/worker_pool.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <tuple>
#include <utility>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace sim::sweep {
namespace {

// How long a stopped sweep waits for its workers to finish their seeds.
constexpr auto kStopGrace = std::chrono::seconds(3);
constexpr auto kTick = std::chrono::milliseconds(100);
// Seeds a worker holds at once: the one it plays and the next.
constexpr std::size_t kInFlight = 2;

#if defined(_WIN32)

// UTF-8, as the simulator keeps its paths and arguments, in UTF-16.
std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
  return wide;
}

// One argument as the C runtime's command-line parser reads it back.
std::wstring QuoteArgument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  for (std::size_t i = 0;; ++i) {
    std::size_t backslashes = 0;
    while (i < arg.size() && arg[i] == L'\\') {
      ++i;
      ++backslashes;
    }
    if (i == arg.size()) {
      out.append(backslashes * 2, L'\\');
      break;
    }
    out.append(arg[i] == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    out.push_back(arg[i]);
  }
  return out + L"\"";
}

std::string SystemMessage(DWORD code) {
  return "system error " + std::to_string(code);
}

// Handles are inherited by whatever process starts while they are
// inheritable, so workers start one at a time and each child's pipe ends are
// closed here before the next starts.
std::mutex gStartMutex;

class Process {
 public:
  static std::unique_ptr<Process> Start(const WorkerCommand& command, std::string* error) {
    std::wstring line = QuoteArgument(Wide(command.program));
    for (const std::string& arg : command.args) {
      line += L" " + QuoteArgument(Wide(arg));
    }
    const std::lock_guard lock(gStartMutex);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE inRead = nullptr, inWrite = nullptr, outRead = nullptr, outWrite = nullptr;
    HANDLE errorCopy = nullptr;
    if (!CreatePipe(&inRead, &inWrite, &inherit, 0)) {
      *error = "cannot make a pipe: " + SystemMessage(GetLastError());
      return nullptr;
    }
    if (!CreatePipe(&outRead, &outWrite, &inherit, 0)) {
      *error = "cannot make a pipe: " + SystemMessage(GetLastError());
      CloseHandle(inRead);
      CloseHandle(inWrite);
      return nullptr;
    }
    SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    const HANDLE self = GetCurrentProcess();
    const HANDLE standardError = GetStdHandle(STD_ERROR_HANDLE);
    if (standardError != nullptr && standardError != INVALID_HANDLE_VALUE) {
      DuplicateHandle(self, standardError, self, &errorCopy, 0, TRUE, DUPLICATE_SAME_ACCESS);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead;
    startup.hStdOutput = outWrite;
    startup.hStdError = errorCopy;
    PROCESS_INFORMATION info{};
    const BOOL started =
        CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NEW_PROCESS_GROUP,
                       nullptr, nullptr, &startup, &info);
    const DWORD startError = GetLastError();
    CloseHandle(inRead);
    CloseHandle(outWrite);
    if (errorCopy != nullptr) CloseHandle(errorCopy);
    if (!started) {
      CloseHandle(inWrite);
      CloseHandle(outRead);
      *error = "cannot start '" + command.program + "': " + SystemMessage(startError);
      return nullptr;
    }
    CloseHandle(info.hThread);
    return std::unique_ptr<Process>(new Process(info.hProcess, inWrite, outRead));
  }

  ~Process() {
    CloseInput();
    CloseHandle(output_);
    CloseHandle(process_);
  }

  bool Send(std::string_view text) {
    while (!text.empty()) {
      DWORD written = 0;
      if (input_ == nullptr ||
          !WriteFile(input_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
        return false;
      }
      text.remove_prefix(written);
    }
    return true;
  }

  // Up to `size` bytes; 0 at the end.
  std::size_t Read(char* buffer, std::size_t size) {
    DWORD got = 0;
    if (!ReadFile(output_, buffer, static_cast<DWORD>(size), &got, nullptr)) return 0;
    return got;
  }

  void CloseInput() {
    if (input_ != nullptr) CloseHandle(std::exchange(input_, nullptr));
  }
  void Kill() { TerminateProcess(process_, 1); }

  // Waits for the process to end: how it ended, and its exit status.
  std::pair<std::string, int> Wait() {
    WaitForSingleObject(process_, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    if (code >= 0xC0000000u) {
      char hex[16];
      std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(code));
      return {std::string("exception ") + hex, -1};
    }
    return {"exit status " + std::to_string(code), static_cast<int>(code)};
  }

 private:
  Process(HANDLE process, HANDLE input, HANDLE output)
      : process_(process), input_(input), output_(output) {}

  HANDLE process_;
  HANDLE input_;
  HANDLE output_;
};

#else

std::string SignalName(int number) {
  constexpr std::array<std::pair<int, const char*>, 8> kNames = {{{SIGSEGV, "SIGSEGV"},
                                                                  {SIGABRT, "SIGABRT"},
                                                                  {SIGBUS, "SIGBUS"},
                                                                  {SIGFPE, "SIGFPE"},
                                                                  {SIGILL, "SIGILL"},
                                                                  {SIGKILL, "SIGKILL"},
                                                                  {SIGTERM, "SIGTERM"},
                                                                  {SIGINT, "SIGINT"}}};
  for (const auto& [n, name] : kNames) {
    if (n == number) return "signal " + std::to_string(number) + " (" + name + ")";
  }
  return "signal " + std::to_string(number);
}

class Process {
 public:
  static std::unique_ptr<Process> Start(const WorkerCommand& command, std::string* error) {
    int input[2];
    int output[2];
    if (::pipe2(input, O_CLOEXEC) != 0) {
      *error = std::string("cannot make a pipe: ") + std::strerror(errno);
      return nullptr;
    }
    if (::pipe2(output, O_CLOEXEC) != 0) {
      *error = std::string("cannot make a pipe: ") + std::strerror(errno);
      ::close(input[0]);
      ::close(input[1]);
      return nullptr;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A process group of its own; the signals this program handles or
    // ignores (SIGPIPE) as the system sets them, and none blocked.
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int number : {SIGPIPE, SIGINT, SIGTERM, SIGHUP}) sigaddset(&defaults, number);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setflags(
        &attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(command.program.c_str()));
    for (const std::string& arg : command.args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int status =
        ::posix_spawn(&pid, command.program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(input[0]);
    ::close(output[1]);
    if (status != 0) {
      ::close(input[1]);
      ::close(output[0]);
      *error = "cannot start '" + command.program + "': " + std::strerror(status);
      return nullptr;
    }
    return std::unique_ptr<Process>(new Process(pid, input[1], output[0]));
  }

  ~Process() {
    CloseInput();
    ::close(output_);
  }

  bool Send(std::string_view text) {
    while (!text.empty()) {
      const ssize_t written = input_ < 0 ? -1 : ::write(input_, text.data(), text.size());
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) return false;
      text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
  }

  std::size_t Read(char* buffer, std::size_t size) {
    for (;;) {
      const ssize_t got = ::read(output_, buffer, size);
      if (got < 0 && errno == EINTR) continue;
      return got > 0 ? static_cast<std::size_t>(got) : 0;
    }
  }

  void CloseInput() {
    if (input_ >= 0) ::close(std::exchange(input_, -1));
  }
  // SIGTERM, which a worker answers by removing its temporary files.
  void Kill() { ::kill(pid_, SIGTERM); }

  std::pair<std::string, int> Wait() {
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFSIGNALED(status)) return {SignalName(WTERMSIG(status)), -1};
    return {"exit status " + std::to_string(WEXITSTATUS(status)), WEXITSTATUS(status)};
  }

 private:
  Process(pid_t pid, int input, int output) : pid_(pid), input_(input), output_(output) {}

  pid_t pid_;
  int input_;
  int output_;
};

#endif

// Lines from a worker's output.
class LineReader {
 public:
  explicit LineReader(Process& process) : process_(process) {}

  std::optional<std::string> Next() {
    for (;;) {
      const std::size_t end = pending_.find('\n');
      if (end != std::string::npos) {
        std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return line;
      }
      char buffer[4096];
      const std::size_t got = process_.Read(buffer, sizeof buffer);
      if (got == 0) return std::nullopt;
      pending_.append(buffer, got);
    }
  }

 private:
  Process& process_;
  std::string pending_;
};

// The state the worker threads share.
class Pool {
 public:
  Pool(const WorkerCommand& command, SeedRange seeds, int jobs, const PoolHooks& hooks,
       const std::atomic<bool>& stop)
      : command_(command),
        hooks_(hooks),
        stop_(stop),
        next_(seeds.first),
        last_(seeds.last),
        live_(static_cast<std::size_t>(jobs), nullptr) {}

  std::string Run() {
    std::vector<std::thread> threads;
    for (std::size_t slot = 0; slot < live_.size(); ++slot) {
      threads.emplace_back([this, slot] { Work(slot); });
    }
    std::unique_lock lock(mutex_);
    std::chrono::steady_clock::time_point stoppedAt{};
    bool killed = false;
    while (finished_ < live_.size()) {
      changed_.wait_for(lock, kTick);
      if (stopping() && stoppedAt == std::chrono::steady_clock::time_point{}) {
        stoppedAt = std::chrono::steady_clock::now();
      }
      if (stopping() && !killed && std::chrono::steady_clock::now() - stoppedAt > kStopGrace) {
        for (Process* process : live_) {
          if (process != nullptr) process->Kill();
        }
        killed = true;
      }
      // Under the lock, so that it sees no reply half-counted.
      if (hooks_.onTick) hooks_.onTick();
    }
    lock.unlock();
    for (std::thread& thread : threads) thread.join();
    return error_;
  }

 private:
  bool stopping() const { return halted_ || stop_.load(); }

  // The next seed to play, or nothing once every seed is taken or the sweep
  // stops. Called with the lock held.
  std::optional<uint32_t> TakeSeed() {
    if (stopping()) return std::nullopt;
    if (!returned_.empty()) {
      const uint32_t seed = returned_.back();
      returned_.pop_back();
      return seed;
    }
    if (exhausted_) return std::nullopt;
    const uint32_t seed = next_;
    if (next_ == last_) {
      exhausted_ = true;
    } else {
      ++next_;
    }
    return seed;
  }

  // Keeps a worker busy with up to kInFlight seeds sent ahead, so that it
  // starts the next as soon as it has answered one instead of waiting for
  // this thread to be scheduled; a worker that ends fails the seed it was
  // playing (the oldest unanswered) and hands the others back unplayed.
  void Work(std::size_t slot) {
    std::unique_ptr<Process> process;
    std::optional<LineReader> reader;
    std::deque<uint32_t> inFlight;  // sent and not answered, oldest first
    for (;;) {
      std::vector<uint32_t> toSend;
      {
        const std::lock_guard lock(mutex_);
        while (inFlight.size() + toSend.size() < kInFlight) {
          const std::optional<uint32_t> seed = TakeSeed();
          if (!seed) break;
          if (!process) {
            std::string error;
            process = Process::Start(command_, &error);
            live_[slot] = process.get();
            if (!process) {
              if (error_.empty()) error_ = error;
              halted_ = true;
              break;
            }
            reader.emplace(*process);
          }
          toSend.push_back(*seed);
        }
      }
      bool sent = true;
      for (const uint32_t seed : toSend) {
        sent = sent && process->Send(std::to_string(seed) + "\n");
        inFlight.push_back(seed);
      }
      if (inFlight.empty()) break;
      WorkerReply reply;
      reply.seed = inFlight.front();
      inFlight.pop_front();
      if (sent) reply.line = reader->Next();
      if (!reply.line) {
        // Ended: not to be killed any more, whatever its pid becomes.
        {
          const std::lock_guard lock(mutex_);
          live_[slot] = nullptr;
          returned_.insert(returned_.end(), inFlight.begin(), inFlight.end());
        }
        inFlight.clear();
        process->CloseInput();
        std::tie(reply.ended, reply.exitStatus) = process->Wait();
        reader.reset();
        process.reset();
      }
      const std::lock_guard lock(mutex_);
      if (stopping()) break;
      if (hooks_.onReply && !hooks_.onReply(reply)) halted_ = true;
    }
    {
      const std::lock_guard lock(mutex_);
      live_[slot] = nullptr;
    }
    if (process) {
      process->CloseInput();
      process->Wait();
    }
    const std::lock_guard lock(mutex_);
    ++finished_;
    changed_.notify_all();
  }

  const WorkerCommand& command_;
  const PoolHooks& hooks_;
  const std::atomic<bool>& stop_;
  std::mutex mutex_;
  std::condition_variable changed_;
  uint32_t next_;
  const uint32_t last_;
  bool exhausted_ = false;
  std::vector<uint32_t> returned_;  // sent to a worker that ended before playing them
  bool halted_ = false;             // by a hook, or a worker that could not start
  std::vector<Process*> live_;
  std::size_t finished_ = 0;
  std::string error_;
};

}  // namespace

std::string RunWorkers(const WorkerCommand& command, SeedRange seeds, int jobs,
                       const PoolHooks& hooks, const std::atomic<bool>& stop) {
#if !defined(_WIN32)
  // A worker that dies leaves a pipe whose writes would end this program.
  ::signal(SIGPIPE, SIG_IGN);
#endif
  if (jobs < 1) jobs = 1;
  if (static_cast<uint64_t>(jobs) > seeds.count()) jobs = static_cast<int>(seeds.count());
  return Pool(command, seeds, jobs, hooks, stop).Run();
}

}  // namespace sim::sweep
