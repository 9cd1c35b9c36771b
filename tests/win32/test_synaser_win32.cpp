// The serial port class on its Win32 side, against scripted peers behind
// COM ports (under Wine: pseudo-terminals mapped as COM ports). The first
// argument names the port the tests talk through, the second a further port
// that exists; no other COM port from COM5 up may exist.
#include "ComProbe.h"
#include "WinTest.h"
#include "synaser.h"

#include <algorithm>
#include <array>
#include <future>
#include <thread>

using namespace WinTest;

namespace {

std::string g_port;
std::string g_otherPort;

Bytes Prefix(const std::uint8_t* data, int count) {
    return Bytes(data, data + std::max(count, 0));
}

// Opens the line the way the link does.
bool Open(TBlockSerial& port) {
    port.Connect(g_port);
    if (!CHECK_EQ(port.LastError(), 0) || !CHECK(port.InstanceActive()))
        return false;
    port.Config(19200, 8, 'N', 0, false, false);
    return CHECK_EQ(port.LastError(), 0);
}

// Waits until `expected` bytes the peer wrote are in the port's input queue.
bool Settle(TBlockSerial& port, int expected) {
    const auto start = Clock::now();
    while (port.WaitingData() < expected && MsSince(start) < 1000)
        ::Sleep(5);
    return CHECK_EQ(port.WaitingData(), expected);
}

// Runs `body` and gives up after `limitMs`: a call that hangs must show as a
// failure, not as a test run that never ends.
void Bounded(int limitMs, const std::function<void()>& body) {
    auto task = std::make_shared<std::packaged_task<void()>>(body);
    std::future<void> done = task->get_future();
    std::thread([task] { (*task)(); }).detach();
    if (done.wait_for(std::chrono::milliseconds(limitMs)) == std::future_status::ready)
        return;
    CHECK(!"the call did not return");
    ::ExitProcess(static_cast<UINT>(Summary())); // the hung call holds this stack frame
}

void lineSettingsReachTheDriver(Peer& peer) {
    TBlockSerial port;
    if (!Open(port))
        return;
    CHECK_EQ(port.Device(), "\\\\.\\" + g_port);
    port.Dcb() = TDCB{};
    port.GetCommState();
    CHECK_EQ(port.LastError(), 0);
    CHECK_EQ(port.Dcb().BaudRate, 19200u);
    CHECK_EQ(int{port.Dcb().ByteSize}, 8);
    CHECK_EQ(int{port.Dcb().Parity}, 0);
    CHECK_EQ(int{port.Dcb().StopBits}, 0);
    CHECK_EQ(port.Dcb().Flags, 0x1011u); // binary, DTR enabled, RTS enabled
    CHECK_EQ(int{port.Dcb().XonChar}, 17);
    CHECK_EQ(int{port.Dcb().XoffChar}, 19);
    const bool keepsLimits = !UnderWine();
    if (keepsLimits) {
        CHECK_EQ(port.Dcb().XonLim, 1024);
        CHECK_EQ(port.Dcb().XoffLim, 1024);
    } else {
        Skip("the driver keeps the flow-control limits it was given");
    }
    CHECK_EQ(peer.Settings(), std::string("baud=19200 bits=8 parenb=0 cstopb=0 crtscts=0 "
                                          "cooked=0 translate=0 ixon=0 ixoff=0"));

    // The queue size re-reads the driver's settings: a change not yet
    // applied is lost, and the limits follow the new size.
    port.Dcb().BaudRate = 9600;
    port.SetSizeRecvBuffer(128);
    CHECK_EQ(port.LastError(), 0);
    CHECK_EQ(port.Dcb().BaudRate, 19200u);
    CHECK_EQ(port.Dcb().XonLim, 32);
    port.Dcb() = TDCB{};
    port.GetCommState();
    CHECK_EQ(port.Dcb().BaudRate, 19200u);
    if (keepsLimits)
        CHECK_EQ(port.Dcb().XoffLim, 32);
    CHECK(peer.Settings().rfind("baud=19200 ", 0) == 0);
}

void requestAndAnswersOfEverySize(Peer& peer) {
    TBlockSerial port;
    if (!Open(port))
        return;
    port.SetSizeRecvBuffer(128);
    const Bytes request{0x02, 0x00, 0x01, 0x08, 0xF8, 0x03};
    CHECK_EQ(port.SendBuffer(request.data(), 6), 6);
    CHECK_EQ(port.LastError(), 0);
    CHECK_EQ(Hex(peer.Read(6, 1000)), Hex(request));

    std::array<std::uint8_t, 256> buf{};
    const Bytes live = Sequence(64, 3);
    peer.Write(live);
    CHECK_EQ(port.RecvBufferEx(buf.data(), 64, 300), 64);
    CHECK_EQ(port.LastError(), 0);
    CHECK_EQ(Hex(Prefix(buf.data(), 64)), Hex(live));

    // The longest answer is larger than the driver's queue: it is drained
    // chunk by chunk while it arrives.
    const Bytes log = Sequence(226, 40);
    peer.Trickle(log, 32, 5, 0);
    buf.fill(0xA5);
    CHECK_EQ(port.RecvBufferEx(buf.data(), 226, 300), 226);
    CHECK_EQ(port.LastError(), 0);
    CHECK_EQ(Hex(Prefix(buf.data(), 226)), Hex(log));
    CHECK_EQ(int{buf[226]}, 0xA5);
    CHECK(peer.WaitIdle(1000));
}

// The link asks the driver for a 128-byte input queue, and a driver that
// keeps to it overflows when more piles up unread. A receive that has the
// first bytes of a 226-byte answer naps until more can have come, but even
// with the longest time-out never for longer than 100 bytes take on the line
// (52 ms); the rest here comes 30 ms later, so the call ends soon after.
void longAnswerNapsNoLongerThanTheQueueAllows(Peer& peer) {
    TBlockSerial port;
    if (!Open(port))
        return;
    port.SetSizeRecvBuffer(128);
    const Bytes log = Sequence(226, 7);
    // A busy machine only makes a call slower: the quickest of three shows
    // the nap.
    long long quickest = 1000;
    for (int round = 0; round < 3; ++round) {
        peer.Write(Bytes(log.begin(), log.begin() + 10));
        if (!Settle(port, 10))
            return;
        peer.Play({{30, Bytes(log.begin() + 10, log.end())}});
        std::array<std::uint8_t, 256> buf{};
        const auto start = Clock::now();
        CHECK_EQ(port.RecvBufferEx(buf.data(), 226, 500), 226);
        quickest = std::min(quickest, MsSince(start));
        CHECK_EQ(port.LastError(), 0);
        CHECK_EQ(Hex(Prefix(buf.data(), 226)), Hex(log));
        CHECK(peer.WaitIdle(1000));
    }
    std::printf("  226-byte answer at 500 ms: whole after %lld ms at best\n", quickest);
    // A nap for the line time of the 215 missing bytes would be 112 ms.
    CHECK(quickest >= 30 && quickest < 100);
}

void timeOutsWaitTheirTime(Peer& peer) {
    TBlockSerial port;
    if (!Open(port))
        return;
    std::array<std::uint8_t, 64> buf{};

    // Silence: nothing stored, after one time-out, not at once.
    auto start = Clock::now();
    CHECK_EQ(port.RecvBufferEx(buf.data(), 64, 300), 0);
    auto elapsed = MsSince(start);
    CHECK_EQ(port.LastError(), 9997);
    CHECK_EQ(port.LastErrorDesc(), std::string("Timeout during operation"));
    CHECK_EQ(elapsed >= 280 && elapsed < 700, true);
    std::printf("  silent peer: time-out after %lld ms\n", elapsed);

    // A partial answer: what came is kept, then one time-out.
    peer.Write(Sequence(40));
    Settle(port, 40);
    start = Clock::now();
    CHECK_EQ(port.RecvBufferEx(buf.data(), 64, 300), 40);
    elapsed = MsSince(start);
    CHECK_EQ(port.LastError(), 9997);
    CHECK_EQ(Hex(Prefix(buf.data(), 40)), Hex(Sequence(40)));
    CHECK_EQ(elapsed >= 280 && elapsed < 700, true);

    // Eight pieces 70 ms apart: the call outlasts its time-out, no single
    // wait does.
    const Bytes frame = Sequence(64, 9);
    peer.Trickle(frame, 8, 70, 20);
    start = Clock::now();
    CHECK_EQ(port.RecvBufferEx(buf.data(), 64, 200), 64);
    CHECK_EQ(port.LastError(), 0);
    CHECK_EQ(Hex(Prefix(buf.data(), 64)), Hex(frame));
    CHECK(MsSince(start) > 200);
}

void surplusPurgeAndClose(Peer& peer) {
    TBlockSerial port;
    if (!Open(port))
        return;
    std::array<std::uint8_t, 64> buf{};

    // All 70 queued: one chunk, the 6 extra kept for the next receive.
    peer.Write(Sequence(70));
    Settle(port, 70);
    CHECK_EQ(port.RecvBufferEx(buf.data(), 64, 300), 64);
    CHECK_EQ(port.LineBuffer().size(), 6u);
    port.Flush();
    CHECK_EQ(port.LastError(), 0);
    CHECK_EQ(port.LineBuffer().size(), 6u);
    peer.Write(Sequence(4, 200));
    Settle(port, 4);
    CHECK_EQ(port.RecvBufferEx(buf.data(), 10, 300), 10);
    Bytes expected = Sequence(6, 64);
    const Bytes later = Sequence(4, 200);
    expected.insert(expected.end(), later.begin(), later.end());
    CHECK_EQ(Hex(Prefix(buf.data(), 10)), Hex(expected));

    // Purge empties the kept surplus and the driver's queue.
    peer.Write(Sequence(70));
    Settle(port, 70);
    CHECK_EQ(port.RecvBufferEx(buf.data(), 64, 300), 64);
    peer.Write(Sequence(3, 50));
    Settle(port, 3);
    port.Purge();
    CHECK_EQ(port.LastError(), 0);
    CHECK(port.LineBuffer().empty());
    CHECK_EQ(port.WaitingData(), 0);
    CHECK_EQ(port.RecvBufferEx(buf.data(), 6, 100), 0);
    CHECK_EQ(port.LastError(), 9997);

    // Closed, the object refuses transfers; opened again, it works, and the
    // surplus of before is gone.
    peer.Write(Sequence(70));
    Settle(port, 70);
    CHECK_EQ(port.RecvBufferEx(buf.data(), 64, 300), 64);
    port.CloseSocket();
    CHECK(!port.InstanceActive());
    CHECK(port.LineBuffer().empty());
    const Bytes request{0x02, 0x00, 0x01, 0x09, 0xF7, 0x03};
    CHECK_EQ(port.SendBuffer(request.data(), 6), 0);
    CHECK_EQ(port.LastError(), 9994);
    for (int round = 0; round < 3; ++round) {
        if (!Open(port))
            return;
        CHECK_EQ(port.RecvBufferEx(buf.data(), 6, 100), 0);
        CHECK_EQ(port.SendBuffer(request.data(), 6), 6);
        CHECK_EQ(Hex(peer.Read(6, 1000)), Hex(request));
        port.CloseSocket();
    }
}

void secondConnectAndExclusiveUse(Peer& peer) {
    TBlockSerial port;
    if (!Open(port))
        return;
    port.Connect(g_port);
    CHECK_EQ(port.LastError(), 9992);
    CHECK_EQ(port.LastErrorDesc(), std::string("Instance already in use"));
    CHECK(port.InstanceActive());
    const Bytes request{0x02, 0x00, 0x01, 0x09, 0xF7, 0x03};
    CHECK_EQ(port.SendBuffer(request.data(), 6), 6);
    CHECK_EQ(Hex(peer.Read(6, 1000)), Hex(request));

    TBlockSerial other;
    other.Connect(g_port);
    if (UnderWine()) {
        Skip("a second open of a port in use fails with ERROR_ACCESS_DENIED");
    } else {
        CHECK_EQ(other.LastError(), 5);
        CHECK(!other.InstanceActive());
    }
}

void missingPortAndNames() {
    TBlockSerial port;
    port.Connect("COM99");
    CHECK_EQ(port.Device(), std::string("\\\\.\\COM99"));
    CHECK_EQ(port.LastError(), 2); // ERROR_FILE_NOT_FOUND
    // The system's own text, as one line without the closing full stop.
    const std::string text = port.LastErrorDesc();
    CHECK(!text.empty() && text != "System error 2");
    CHECK(text.find('\n') == std::string::npos && text.back() != '.');
    CHECK(!port.InstanceActive());
    std::uint8_t b = 0;
    CHECK_EQ(port.SendBuffer(&b, 1), 0);
    CHECK_EQ(port.LastError(), 9994);

    // Any case of a COM name opens the device; COM0 is opened as typed.
    std::string lower = g_port;
    std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
    port.Connect(lower);
    CHECK_EQ(port.LastError(), 0);
    CHECK_EQ(port.Device(), "\\\\.\\" + g_port);
    port.CloseSocket();
    port.Connect("COM0");
    CHECK_EQ(port.Device(), std::string("COM0"));
    CHECK(!port.InstanceActive());
}

// A write the line cannot take (the peer never reads) ends after the
// deadlock time-out with the time-out code, whatever the driver does with
// the purge, and the port stays usable.
void stuckWriteEndsInBoundedTime(Peer& peer) {
    TBlockSerial port;
    if (!Open(port))
        return;
    port.SetDeadlockTimeout(200);
    const Bytes lots(256 * 1024, 0x55);
    int sent = -1;
    long long elapsed = 0;
    Bounded(5000, [&] {
        const auto start = Clock::now();
        sent = port.SendBuffer(lots.data(), static_cast<int>(lots.size()));
        elapsed = MsSince(start);
    });
    std::printf("  stuck write: %d bytes, ended after %lld ms\n", sent, elapsed);
    CHECK_EQ(port.LastError(), 9997);
    CHECK_EQ(port.LastErrorDesc(), std::string("Timeout during operation"));
    CHECK(sent >= 0 && sent < static_cast<int>(lots.size()));
    CHECK_EQ(elapsed >= 190 && elapsed < 1500, true);

    // The stopped write is over and its count is true: the line carries
    // exactly the bytes counted, and then a request goes out alone and whole.
    Bytes drained;
    for (Bytes more = peer.Available(500); !more.empty(); more = peer.Available(200))
        drained.insert(drained.end(), more.begin(), more.end());
    CHECK(static_cast<int>(drained.size()) <= sent);
    if (UnderWine())
        Skip("a stopped write's count is what reached the line (Wine's PURGE_TXABORT also "
             "flushes what the terminal had taken)");
    else
        CHECK_EQ(static_cast<int>(drained.size()), sent);
    CHECK(std::all_of(drained.begin(), drained.end(), [](std::uint8_t x) { return x == 0x55; }));
    const Bytes request{0x02, 0x00, 0x01, 0x08, 0xF8, 0x03};
    port.SetDeadlockTimeout(1000);
    CHECK_EQ(port.SendBuffer(request.data(), 6), 6);
    CHECK_EQ(port.LastError(), 0);
    CHECK_EQ(Hex(peer.Read(6, 1000)), Hex(request));
    CHECK(peer.Available(200).empty());
}

void probeFindsExactlyThePorts() {
    // COM1..COM4 may stand for real lines of the machine; the rest must be
    // exactly the ports this run set up, and missing ones are no failure.
    std::string found;
    int failures = 0;
    int mixedAnswers = 0; // a record without "found", or "found" without one
    for (int n = 5; n <= 255; ++n) {
        const std::wstring name = L"COM" + std::to_wstring(n);
        ProbeOutcome outcome = ProbeOutcome::Failed;
        const COMMCONFIG cc = ProbeComPort(name, outcome);
        if (cc.dwSize != 0)
            found += (found.empty() ? "COM" : " COM") + std::to_string(n);
        if (outcome == ProbeOutcome::Failed)
            ++failures;
        if ((cc.dwSize != 0) != (outcome == ProbeOutcome::Found))
            ++mixedAnswers;
    }
    CHECK_EQ(mixedAnswers, 0);
    const std::string expected = std::stoi(g_port.substr(3)) < std::stoi(g_otherPort.substr(3))
                                     ? g_port + " " + g_otherPort
                                     : g_otherPort + " " + g_port;
    if (UnderWine())
        Skip("the probe finds exactly the ports present (Wine answers by the name alone: "
             "COM1..COM9 always, higher numbers never)");
    else
        CHECK_EQ(found, expected);
    CHECK_EQ(failures, 0);
    ProbeOutcome outcome = ProbeOutcome::NoSuchPort;
    const std::wstring withColon(g_port.begin(), g_port.end());
    CHECK(ProbeComPort(withColon + L":", outcome).dwSize != 0);

    // A port whose driver wants a larger record is there; only "no such
    // port" answers are passed over in silence.
    CHECK(ProbeOutcomeOf(ERROR_INSUFFICIENT_BUFFER) == ProbeOutcome::Found);
    CHECK(ProbeOutcomeOf(ERROR_FILE_NOT_FOUND) == ProbeOutcome::NoSuchPort);
    CHECK(ProbeOutcomeOf(ERROR_BADKEY) == ProbeOutcome::NoSuchPort);
    CHECK(ProbeOutcomeOf(ERROR_ACCESS_DENIED) == ProbeOutcome::Failed);
    CHECK(ProbeOutcomeOf(ERROR_GEN_FAILURE) == ProbeOutcome::Failed);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::printf("usage: %s COMa COMb [test...]\n", argv[0]);
        return 2;
    }
    ReportCrashes();
    g_port = argv[1];
    g_otherPort = argv[2];
    Peer peer(0);
    // The probe comes first: Wine 8 can hang loading the probe's system
    // library once the process has waited on a serial port.
    const std::pair<const char*, std::function<void()>> tests[] = {
        {"probeFindsExactlyThePorts", [] { probeFindsExactlyThePorts(); }},
        {"lineSettingsReachTheDriver", [&] { lineSettingsReachTheDriver(peer); }},
        {"requestAndAnswersOfEverySize", [&] { requestAndAnswersOfEverySize(peer); }},
        {"longAnswerNapsNoLongerThanTheQueueAllows",
         [&] { longAnswerNapsNoLongerThanTheQueueAllows(peer); }},
        {"timeOutsWaitTheirTime", [&] { timeOutsWaitTheirTime(peer); }},
        {"surplusPurgeAndClose", [&] { surplusPurgeAndClose(peer); }},
        {"secondConnectAndExclusiveUse", [&] { secondConnectAndExclusiveUse(peer); }},
        {"missingPortAndNames", [] { missingPortAndNames(); }},
        {"stuckWriteEndsInBoundedTime", [&] { stuckWriteEndsInBoundedTime(peer); }},
    };
    // Further arguments pick tests by name.
    const std::vector<std::string> only(argv + 3, argv + argc);
    for (const auto& [name, body] : tests) {
        if (!only.empty() && std::find(only.begin(), only.end(), name) == only.end())
            continue;
        const int failedBefore = Counts().failed;
        const auto start = Clock::now();
        body();
        // Whatever a test left on the line must not reach the next one.
        while (!peer.Available(50).empty()) {
        }
        std::printf("%s %s (%lld ms)\n", Counts().failed == failedBefore ? "PASS" : "FAIL", name,
                    MsSince(start));
        std::fflush(stdout);
    }
    return Summary();
}
