// Ctrl-C, a hang-up or a kill while outputs are written (the converter's run, the viewer's
// batch run or Save Image As): the temporaries being written are removed before the program
// ends by that signal, so no half-written output is left behind.
//
// The signals are blocked in every thread and taken by one thread of their own with sigwait.
// The removal then runs as ordinary code under the registry's lock (no async-signal-safety
// puzzle, no global for a handler to find the registry by), and once it has run no temporary
// can be created or renamed into place.
#pragma once

#include <signal.h>

#include <atomic>
#include <thread>

#include "convert/part_file.h"

namespace vs {

class SignalCleanup {
public:
    // Call before any other thread starts: threads inherit the blocked signals.
    explicit SignalCleanup(TemporaryFiles& temporaries);
    // Ends the waiting thread and unblocks the signals: the run is over.
    ~SignalCleanup();
    SignalCleanup(const SignalCleanup&) = delete;
    SignalCleanup& operator=(const SignalCleanup&) = delete;

private:
    void waitForSignal();

    TemporaryFiles& temporaries_;
    sigset_t signals_;
    sigset_t previousMask_;
    std::atomic<bool> finished_ = false;
    std::thread waiter_;
};

}  // namespace vs
