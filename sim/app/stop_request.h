// Ctrl-C during a sweep: the interruption is noted instead of ending the
// program, so that the sweep can stop its workers, print what the seeds
// played so far came to and remove its temporary files before it ends with
// 128 + the signal's number.
//
// On Linux SIGINT, SIGTERM and SIGHUP (a signal the program was started
// ignoring stays ignored); the handler only stores the number. On Windows a
// console control handler notes Ctrl-C as SIGINT and Ctrl-Break as SIGBREAK
// (21); a closed console ends the process at once, as it does for a single
// run (sim/app/interrupt.h), since the system would end it soon anyway.
#ifndef HOMESTEAD_SIM_APP_STOP_REQUEST_H
#define HOMESTEAD_SIM_APP_STOP_REQUEST_H

#include <atomic>

namespace sim::sweep {

void CatchStopSignals();

// True once a stop signal came.
const std::atomic<bool>& StopRequested();

// The number of the first stop signal, 0 before any.
int StopSignal();

// How the stop came, for a message: "SIGINT", or "Ctrl-C" on Windows.
const char* StopSignalName();

}  // namespace sim::sweep

#endif  // HOMESTEAD_SIM_APP_STOP_REQUEST_H
