#include "engine/platform/EndSignals.h"

#include <csignal>
#include <initializer_list>

namespace {
// A signal handler may only touch a variable of this kind.
volatile std::sig_atomic_t g_endSignal = 0;

void OnEndSignal(int signal) {
    if (g_endSignal == 0) {
        g_endSignal = signal;
    }
}
} // namespace

void CatchEndSignals() {
    struct sigaction action {};
    action.sa_handler = OnEndSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted waits return, so the loop sees the signal at once.
    action.sa_flags = 0;
    for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) {
        sigaction(signal, &action, nullptr);
    }
}

int TakeEndSignal() {
    int signal = g_endSignal;
    g_endSignal = 0;
    return signal;
}
