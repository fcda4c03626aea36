// Ctrl-C during a sweep: the signal is noted instead of ending the program,
// so that the sweep can stop its workers, print what the seeds played so far
// came to and remove its temporary files before it ends with 128 + the
// signal's number.
//
// SIGINT, SIGTERM and SIGHUP on Linux (a signal the program was started
// ignoring stays ignored); SIGINT and SIGTERM through the C runtime on
// Windows. The handler only stores the number.
#ifndef HOMESTEAD_SIM_SWEEP_STOP_REQUEST_H
#define HOMESTEAD_SIM_SWEEP_STOP_REQUEST_H

#include <atomic>

namespace sim::sweep {

void CatchStopSignals();

// True once a stop signal came.
const std::atomic<bool>& StopRequested();

// The number of the first stop signal, 0 before any.
int StopSignal();

}  // namespace sim::sweep

#endif  // HOMESTEAD_SIM_SWEEP_STOP_REQUEST_H
