#include "Interruption.h"

#include <atomic>
#include <csignal>

namespace {

// Lock-free, so the handler may set it and any port's thread may read it.
std::atomic<int> caught{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnSignal(int signal) {
    int none = 0;
    // The first signal is the one the exit status reports.
    caught.compare_exchange_strong(none, signal);
}

} // namespace

namespace Interruption {

namespace {

// A signal the program was started ignoring stays ignored: nohup, or a
// background job of a shell without job control, asked for that.
void Catch(int signal) {
    if (std::signal(signal, OnSignal) == SIG_IGN)
        std::signal(signal, SIG_IGN);
}

} // namespace

void Install() {
    Catch(SIGINT);
    Catch(SIGTERM);
#ifdef SIGHUP
    Catch(SIGHUP);
#endif
#ifdef SIGBREAK
    Catch(SIGBREAK); // Ctrl+Break in a Windows console
#endif
}

int Signal() {
    return caught.load();
}

bool Requested() {
    return Signal() != 0;
}

std::function<bool()> StopCheck() {
    return [] { return Requested(); };
}

int ExitStatus(int status) {
    const int signal = Signal();
    return signal != 0 ? 128 + signal : status;
}

} // namespace Interruption
