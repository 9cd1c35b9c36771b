#pragma once

// A small check harness for the Windows test program, which runs without Qt:
// checks that count, checks skipped under Wine, and the channel to the
// scripted serial peers on the Linux side (see peer_host.cpp).
#include "HexText.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace WinTest {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

struct Tally {
    int passed = 0;
    int failed = 0;
    int skipped = 0;
};
inline Tally& Counts() {
    static Tally tally;
    return tally;
}

inline bool Check(bool ok, const std::string& what, const char* file, int line) {
    if (ok) {
        ++Counts().passed;
    } else {
        ++Counts().failed;
        std::printf("FAIL %s:%d: %s\n", file, line, what.c_str());
        std::fflush(stdout);
    }
    return ok;
}

// Each side is evaluated once: a check on SendBuffer must send once.
template <typename A, typename B>
bool CheckEqual(const A& a, const B& b, const char* what, const char* file, int line) {
    std::ostringstream out;
    out << what << " (got " << a << ", expected " << b << ")";
    return Check(a == b, out.str(), file, line);
}

// Prints the summary line "N passed, M failed" (after the number of skipped
// checks, if any) and returns the exit status for the run.
int Summary();

// Counts a crash as a failure and ends the run with the summary, instead of
// Wine's debugger waiting for someone to attach.
void ReportCrashes();

// Checks that depend on what Wine does not do (exclusive opens, PurgeComm
// ending a pending transfer) are skipped there and stay hard checks on Windows.
bool UnderWine();

inline void Skip(const std::string& what) {
    ++Counts().skipped;
    std::printf("SKIP under Wine: %s\n", what.c_str());
    std::fflush(stdout);
}

long long MsSince(Clock::time_point start);
// The peer host's answer as bytes; empty when it is not hex.
Bytes FromHex(const std::string& text);
// `count` bytes counting up from `first`.
Bytes Sequence(std::size_t count, std::uint8_t first = 0);

// One scripted peer: the far end of the line behind a COM port.
class Peer {
public:
    explicit Peer(int index) : m_index(index) {}
    void Write(const Bytes& bytes) { Ask("write " + Hex(bytes)); }
    // Steps of (delay after the previous step in ms, bytes), in the background.
    void Play(const std::vector<std::pair<int, Bytes>>& steps);
    // `bytes` in pieces of `chunk`, the first after `firstMs`, then every `gapMs`.
    void Trickle(const Bytes& bytes, std::size_t chunk, int gapMs, int firstMs);
    Bytes Read(std::size_t count, int ms) {
        return FromHex(Ask("read " + std::to_string(count) + " " + std::to_string(ms)));
    }
    Bytes Available(int ms) { return FromHex(Ask("avail " + std::to_string(ms))); }
    bool WaitIdle(int ms) { return Ask("idle " + std::to_string(ms)) == "1"; }
    // "baud=19200 bits=8 parenb=0 ..." as the terminal holds them.
    std::string Settings() { return Ask("settings"); }

private:
    std::string Ask(const std::string& command);
    int m_index;
};

#define CHECK(cond) WinTest::Check((cond), #cond, __FILE__, __LINE__)
#define CHECK_EQ(a, b) WinTest::CheckEqual((a), (b), #a " == " #b, __FILE__, __LINE__)

} // namespace WinTest
