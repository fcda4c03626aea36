// Temporary files that an interruption removes.
//
// An output file is written to a temporary file and renamed into place at
// the end (sim/app/output_file.h); a run stopped on the way by Ctrl-C, a kill or
// a closed terminal would leave that file behind, as large as the trace had
// grown. Each temporary file is registered here while it exists, and on
// SIGINT, SIGTERM or SIGHUP a handler removes the registered files, says on
// standard error that the run was interrupted and ends the program with
// exit status 128 + the signal's number (130 for Ctrl-C). The handler
// allocates nothing and calls only async-signal-safe functions (unlink,
// write, _exit); the registry is a fixed number of fixed-size slots.
#ifndef HOMESTEAD_SIM_APP_INTERRUPT_H
#define HOMESTEAD_SIM_APP_INTERRUPT_H

#include <string_view>

namespace sim {

// Installs the handlers. A signal the program was started ignoring (as
// under nohup) stays ignored. On Windows this does nothing: the C library
// runs a console signal's handler on another thread while the file is still
// open there, and an open file cannot be removed.
void RemoveTemporariesOnInterrupt();

// Registers `path` for removal on an interruption and returns its slot; -1
// when every slot is taken or the path is too long to keep, and the file is
// then left as before.
int RegisterTemporary(std::string_view path);

// Removes every registered file now, with async-signal-safe calls only: for
// the interrupt handler, and for a program that must end at once (the
// plug-in watchdog).
void RemoveRegisteredTemporaries();

// Forgets the file in `slot` (from RegisterTemporary; -1 is ignored). Call
// it after the file was renamed or removed, so that an interruption in
// between finds at worst a name that is gone.
void UnregisterTemporary(int slot);

}  // namespace sim

#endif  // HOMESTEAD_SIM_APP_INTERRUPT_H
