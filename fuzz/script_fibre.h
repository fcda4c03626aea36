// One script main on a stack of its own, for the fuzz targets' host.
//
// The host starts the main once per input, resumes it once per frame and, at
// the end of the input, abandons it where it waits, as a host that unloads a
// plug-in does: its frames are never unwound, so whatever they own on the
// heap is lost (and reported by the leak check). No exception is ever thrown
// through the script's frames.
//
// On POSIX one stack is mapped for the whole process and reused by every
// input, so that millions of inputs map nothing more; on Windows each input
// gets a Win32 fibre that is deleted when it is abandoned. Only the thread
// that starts a main may resume it; one main at a time.
#ifndef HOMESTEAD_FUZZ_SCRIPT_FIBRE_H
#define HOMESTEAD_FUZZ_SCRIPT_FIBRE_H

namespace fuzz {

// Abandons the main started before, if any, and prepares `main` to run from
// its start at the next ResumeScript. False when no stack can be had.
bool StartScript(void (*main)());

// Runs the main until it yields or returns. Does nothing once it has
// returned, or when called from the script itself.
void ResumeScript();

// Called on the script: gives control back to ResumeScript's caller.
void YieldScript();

bool InScript();
// The main returned (or threw, which is caught at the stack's edge).
bool ScriptReturned();
bool ScriptThrew();

// Drops the main where it waits, without unwinding it.
void AbandonScript();

}  // namespace fuzz

#endif  // HOMESTEAD_FUZZ_SCRIPT_FIBRE_H
