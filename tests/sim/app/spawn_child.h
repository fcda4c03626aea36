// Starts the simulator as a child that a test interrupts later, as a person
// at a terminal would.
#ifndef HOMESTEAD_TESTS_SIM_APP_SPAWN_CHILD_H
#define HOMESTEAD_TESTS_SIM_APP_SPAWN_CHILD_H

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <string>

extern char** environ;

// Runs `argv` (null-terminated) with standard output into `outPath` and
// standard error discarded, SIGINT at its default action even where this
// test was started with it ignored (as a non-interactive shell starts
// background jobs). Returns the child's pid, or -1 when it cannot start.
inline pid_t SpawnWithOutputTo(const char* const argv[], const std::string& outPath) {
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGINT);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t child = -1;
  const int started =
      posix_spawn(&child, argv[0], &actions, &attributes, const_cast<char**>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  return started == 0 ? child : -1;
}

#endif  // HOMESTEAD_TESTS_SIM_APP_SPAWN_CHILD_H
