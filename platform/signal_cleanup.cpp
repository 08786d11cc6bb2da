#include "platform/signal_cleanup.h"

#include <pthread.h>
#include <unistd.h>

#include <csignal>

namespace vs {

SignalCleanup::SignalCleanup(TemporaryFiles& temporaries) : temporaries_(temporaries) {
    sigemptyset(&signals_);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&signals_, signal);
    pthread_sigmask(SIG_BLOCK, &signals_, &previousMask_);
    waiter_ = std::thread([this] { waitForSignal(); });
}

SignalCleanup::~SignalCleanup() {
    finished_ = true;
    pthread_kill(waiter_.native_handle(), SIGTERM);
    waiter_.join();
    pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

void SignalCleanup::waitForSignal() {
    int signal = 0;
    while (sigwait(&signals_, &signal) != 0) {
    }
    if (finished_) return;
    temporaries_.removeAll();
    // End as the signal would have ended the program, so that a shell sees 128 + signal.
    std::signal(signal, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    raise(signal);
    _exit(128 + signal);
}

}  // namespace vs
