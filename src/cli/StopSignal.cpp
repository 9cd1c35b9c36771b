#include "StopSignal.h"

#include <atomic>
#include <csignal>

namespace {

// Written from the signal handler: a lock-free atomic is safe there.
std::atomic<int> g_caught{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void NoteSignal(int signal) {
    g_caught.store(signal);
}

} // namespace

void CatchStopSignals() {
    std::signal(SIGINT, NoteSignal);
    std::signal(SIGTERM, NoteSignal);
#ifdef SIGHUP
    std::signal(SIGHUP, NoteSignal);
#endif
}

int StopSignalCaught() {
    return g_caught.load();
}
