#include "synaser.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cstring>
#include <limits>
#include <optional>
#include <thread>

namespace Os = SerialPlatform;
using namespace SynaSer;

namespace {

// Whole-string decimal integer with an optional sign and leading blanks, as a
// user types a port number; none when it does not parse. A number too long
// for any integer comes back as the extreme of its sign: it names no port.
std::optional<long long> ParseNumber(const std::string& text) {
    std::size_t start = text.find_first_not_of(' ');
    if (start == std::string::npos)
        return std::nullopt;
    if (text[start] == '+')
        ++start;
    const char* first = text.data() + start;
    const char* last = text.data() + text.size();
    long long value = 0;
    const auto [end, ec] = std::from_chars(first, last, value);
    if (end != last || first == last)
        return std::nullopt;
    if (ec == std::errc::result_out_of_range)
        return *first == '-' ? std::numeric_limits<long long>::min()
                             : std::numeric_limits<long long>::max();
    if (ec != std::errc{})
        return std::nullopt;
    return value;
}

std::string Upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Zero-based COM number of a port name: -1 when the name is no port name, and
// also for a COM name without a number ("COM", "COMX", "COM0"), which is
// opened as typed; NoPortNumber when a COM name or a /dev/ttyS path carries a
// number that no port can have.
int ParseComNr(const std::string& name) {
    constexpr long long largest = std::numeric_limits<int>::max();
    const std::string upper = Upper(name);
    if (upper.rfind("COM", 0) == 0) {
        const std::optional<long long> n = ParseNumber(upper.substr(3));
        if (!n || *n == 0)
            return -1;
        if (*n < 1 || *n > largest)
            return Os::NoPortNumber;
        return static_cast<int>(*n - 1);
    }
    if (upper.rfind("/DEV/TTYS", 0) == 0) {
        const std::optional<long long> n = ParseNumber(upper.substr(9));
        if (!n || *n < 0 || *n > largest)
            return Os::NoPortNumber;
        return static_cast<int>(*n);
    }
    return -1;
}

} // namespace

TBlockSerial::TBlockSerial() {
    SetSynaError(0);
}

TBlockSerial::~TBlockSerial() {
    CloseSocket();
}

// --- Opening, settings, closing ---------------------------------------------

std::string TBlockSerial::DeviceFor(const std::string& comport) {
    const int comNr = ParseComNr(comport);
    std::string device;
    if (comNr != -1 && Os::ComDeviceName(comNr, device) && !device.empty())
        return device;
    return comport;
}

void TBlockSerial::Connect(const std::string& comport) {
    if (FInstanceActive) {
        RaiseSynaError(ErrAlreadyInUse);
        return;
    }
    FBuffer.clear();
    FDevice = comport;
    FComNr = ParseComNr(comport);
    Os::ClearOsError();
    if (FComNr != -1) {
        std::string device;
        if (!Os::ComDeviceName(FComNr, device)) {
            // The platform has no port by that number and nothing else may
            // be opened in its place.
            SerialCheck(-1);
            FComNr = -1;
            ExceptCheck();
            return;
        }
        if (!device.empty())
            FDevice = device;
    }
    Fhandle = Os::Open(FDevice);
    SerialCheck(Fhandle == Os::InvalidPort ? -1 : 0);
    ExceptCheck();
    if (FLastError != 0)
        return;

    // Results ignored: a device that refuses these still transfers bytes,
    // and Config reports a port that is no serial line at all.
    Os::SetEventMask(Fhandle, 0);
    Os::SetupQueues(Fhandle, FRecvBuffer, 0);
    Os::SetReadReturnsAtOnce(Fhandle);
    SetSynaError(0);

    if (ControlLinesPass()) {
        FInstanceActive = true;
        SetRTS(true);
        SetDTR(true);
        Purge();
    } else {
        SetSynaError(ErrNoDeviceAnswer);
        Os::Close(Fhandle);
        Fhandle = Os::InvalidPort;
        FComNr = -1;
    }
    ExceptCheck();
}

void TBlockSerial::GetCommState() {
    SetSynaError(0);
    if (!Os::GetState(Fhandle, FDcb))
        SerialCheck(-1);
    ExceptCheck();
}

void TBlockSerial::SetCommState() {
    SetSynaError(0);
    if (!Os::SetState(Fhandle, FDcb))
        SerialCheck(-1);
    ExceptCheck();
}

void TBlockSerial::Config(int baud, int bits, char parity, int stop, bool softflow, bool hardflow) {
    FDcb = TDCB{};
    GetCommState();
    FDcb.DCBlength = 28;
    FDcb.BaudRate = static_cast<std::uint32_t>(baud);
    FDcb.ByteSize = static_cast<std::uint8_t>(bits);
    switch (parity) {
    case 'N':
    case 'n':
        FDcb.Parity = 0;
        break;
    case 'O':
    case 'o':
        FDcb.Parity = 1;
        break;
    case 'E':
    case 'e':
        FDcb.Parity = 2;
        break;
    case 'M':
    case 'm':
        FDcb.Parity = 3;
        break;
    case 'S':
    case 's':
        FDcb.Parity = 4;
        break;
    default:
        break; // keep the driver's parity
    }
    FDcb.StopBits = static_cast<std::uint8_t>(stop);
    FDcb.XonChar = 17;
    FDcb.XoffChar = 19;
    FDcb.XonLim = static_cast<std::uint16_t>(FRecvBuffer / 4);
    FDcb.XoffLim = static_cast<std::uint16_t>(FRecvBuffer / 4);
    std::uint32_t flags = Os::dcbBinary;
    if (softflow)
        flags |= Os::dcbOutX | Os::dcbInX;
    if (hardflow)
        flags |= Os::dcbOutxCtsFlow | Os::dcbRtsControlHandshake;
    else
        flags |= Os::dcbRtsControlEnable;
    flags |= Os::dcbDtrControlEnable;
    if (FDcb.Parity != 0)
        flags |= Os::dcbParityCheck;
    FDcb.Flags = flags;
    SetCommState();
}

void TBlockSerial::SetSizeRecvBuffer(int value) {
    Os::SetupQueues(Fhandle, value, 0);
    // Re-reading the driver's settings replaces the in-memory block: an
    // unsaved change made since the last SetCommState is dropped here.
    GetCommState();
    FDcb.XonLim = static_cast<std::uint16_t>(value / 4);
    FDcb.XoffLim = static_cast<std::uint16_t>(value / 4);
    SetCommState();
    FRecvBuffer = value;
}

void TBlockSerial::CloseSocket() {
    if (Fhandle != Os::InvalidPort) {
        // Closing must always release the handle, also from the destructor,
        // so nothing may throw on the way.
        const bool raise = FRaiseExcept;
        FRaiseExcept = false;
        Purge();
        SetRTS(false);
        SetDTR(false);
        FRaiseExcept = raise;
        Os::Close(Fhandle);
    }
    FInstanceActive = false;
    Fhandle = Os::InvalidPort;
    FComNr = -1;
    SetSynaError(0);
}

void TBlockSerial::SetRTS(bool value) {
    SetSynaError(0);
    if (!Os::Escape(Fhandle, value ? Os::EscapeFunction::SetRts : Os::EscapeFunction::ClearRts))
        SerialCheck(-1);
    ExceptCheck();
}

void TBlockSerial::SetDTR(bool value) {
    SetSynaError(0);
    if (!Os::Escape(Fhandle, value ? Os::EscapeFunction::SetDtr : Os::EscapeFunction::ClearDtr))
        SerialCheck(-1);
    ExceptCheck();
}

// --- Transfers --------------------------------------------------------------

int TBlockSerial::SendingData() {
    SetSynaError(0);
    Os::QueueStatus status;
    if (!Os::ClearErrors(Fhandle, status, Os::queueOut))
        SerialCheck(-1);
    ExceptCheck();
    return static_cast<int>(status.outQueue);
}

int TBlockSerial::WaitingData() {
    Os::QueueStatus status;
    int result = 0;
    if (Os::ClearErrors(Fhandle, status, Os::queueIn)) {
        SetSynaError(0);
        result = static_cast<int>(status.inQueue);
    } else {
        SerialCheck(-1);
    }
    ExceptCheck();
    return result;
}

int TBlockSerial::SendBuffer(const void* buffer, int length) {
    if (!PortPreCheck())
        return 0;
    SetSynaError(0);
    return FinishTransfer(Os::Write(Fhandle, buffer, static_cast<std::size_t>(std::max(length, 0)),
                                    FDeadlockTimeout));
}

int TBlockSerial::RecvBuffer(void* buffer, int length) {
    if (!PortPreCheck())
        return 0;
    SetSynaError(0);
    return FinishTransfer(
        Os::Read(Fhandle, buffer, static_cast<std::size_t>(std::max(length, 0)), FDeadlockTimeout));
}

// The common end of a write or read: a transfer that did not finish within
// the deadlock time-out is a time-out, a failed one carries the system's
// error, and the driver's line-error flags are translated last.
int TBlockSerial::FinishTransfer(const Os::Transfer& t) {
    if (t.status == Os::Transfer::TimedOut)
        SetSynaError(ErrTimeout);
    else if (t.status == Os::Transfer::Failed)
        SetSynaError(t.error);
    Os::QueueStatus status;
    if (Os::ClearErrors(Fhandle, status, 0) && status.errors != 0)
        TranslateCommErrors(status.errors);
    ExceptCheck();
    return t.count;
}

bool TBlockSerial::WaitRxEvent(int timeout) {
    SetSynaError(0);
    switch (Os::WaitForInput(Fhandle, timeout)) {
    case Os::WaitResult::DataReady:
        return true;
    case Os::WaitResult::Quiet:
        return false;
    case Os::WaitResult::Failed:
        // The port itself is gone; keep its reason instead of a time-out.
        SerialCheck(-1);
        return false;
    }
    return false;
}

bool TBlockSerial::CanRead(int timeout) {
    bool result = WaitingData() > 0;
    if (!result) {
        result = WaitRxEvent(timeout);
        if (!result && FLastError == 0)
            result = WaitingData() > 0;
    }
    return result;
}

// Reads whatever the driver holds, without waiting: one read into room for a
// full driver queue, so no queue count has to be asked for first.
std::string TBlockSerial::ReadQueued() {
    const int got = RecvBuffer(FReadRoom.data(), static_cast<int>(FReadRoom.size()));
    return std::string(FReadRoom.data(), static_cast<std::size_t>(std::max(got, 0)));
}

std::string TBlockSerial::RecvPacket(int timeout) {
    std::string result;
    if (!PortPreCheck())
        return result;
    SetSynaError(0);
    if (!FBuffer.empty()) {
        result.swap(FBuffer);
    } else {
        Os::YieldSlice();
        result = ReadQueued();
        // The read just found the queue empty, so only the wait is left.
        if (result.empty() && FLastError == 0 && WaitRxEvent(timeout))
            result = ReadQueued();
        if (result.empty() && FLastError == 0)
            SetSynaError(ErrTimeout);
    }
    ExceptCheck();
    return result;
}

std::chrono::microseconds TBlockSerial::LineTime(int bytes) const {
    if (FDcb.BaudRate == 0 || FDcb.ByteSize == 0 || bytes <= 0)
        return std::chrono::microseconds(0);
    // Start bit, data bits, parity bit, stop bits; in half bits so that one
    // and a half stop bits stay exact.
    const long long halfBits =
        2 * (1 + FDcb.ByteSize + (FDcb.Parity != 0 ? 1 : 0)) + (FDcb.StopBits == 0   ? 2
                                                                : FDcb.StopBits == 1 ? 3
                                                                                     : 4);
    return std::chrono::microseconds(halfBits * bytes * 500000LL / FDcb.BaudRate);
}

// The rest of the answer is on its way at line speed: sleep for as long as all
// but its last byte take on the wire, so that they are taken in one read
// instead of waking up for every byte; the wait for the last byte then ends
// the moment it arrives. The nap counts as part of the next wait for further
// bytes and takes at most half of it: a line that falls silent ends the call
// no sooner than one time-out after its last byte and no later than one and a
// half. Nor does it outlast 100 bytes on the line: the driver's input queue
// may hold as few as 128, and a nap that lets more pile up overflows it.
std::chrono::microseconds TBlockSerial::ReceiveNap(int missing, int waitMs) const {
    constexpr int NapBytes = 100;
    const auto bound = std::min<std::chrono::microseconds>(
        LineTime(NapBytes), std::chrono::milliseconds(std::max(waitMs / 2, 0)));
    return std::min(LineTime(missing - 1), bound);
}

int TBlockSerial::RecvBufferEx(void* buffer, int length, int timeout) {
    if (!PortPreCheck())
        return 0;
    SetSynaError(0);
    if (length <= 0)
        return 0;
    auto* out = static_cast<unsigned char*>(buffer);
    int stored = 0;
    int timeLeft = timeout; // without InterPacketTimeout: for the whole call
    int wait = timeout;     // this pass's wait for further bytes
    std::string chunk;
    std::size_t copied = 0;
    for (;;) {
        const auto start = std::chrono::steady_clock::now();
        chunk = RecvPacket(wait);
        copied = std::min(chunk.size(), static_cast<std::size_t>(length - stored));
        if (copied > 0)
            std::memcpy(out + stored, chunk.data(), copied);
        stored += static_cast<int>(copied);
        if (FLastError != 0 || stored >= length)
            break;
        const auto nap = ReceiveNap(length - stored, FInterPacketTimeout ? timeout : timeLeft);
        if (nap.count() > 0)
            std::this_thread::sleep_for(nap);
        const int napMs =
            static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(nap).count());
        if (FInterPacketTimeout) {
            wait = timeout - napMs;
        } else {
            const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - start);
            timeLeft -= static_cast<int>(spent.count());
            if (timeLeft <= 0) {
                SetSynaError(ErrTimeout);
                break;
            }
            wait = timeLeft;
        }
    }
    if (chunk.size() > copied)
        FBuffer = chunk.substr(copied);
    return stored;
}

void TBlockSerial::Flush() {
    SetSynaError(0);
    if (!Os::Drain(Fhandle))
        SerialCheck(-1);
    ExceptCheck();
}

void TBlockSerial::PurgeInput() {
    SetSynaError(0);
    if (!Os::Purge(Fhandle, Os::purgeRxAbort | Os::purgeRxClear))
        SerialCheck(-1);
    FBuffer.clear();
    ExceptCheck();
}

void TBlockSerial::Purge() {
    SetSynaError(0);
    if (!Os::Purge(Fhandle,
                   Os::purgeTxAbort | Os::purgeRxAbort | Os::purgeTxClear | Os::purgeRxClear))
        SerialCheck(-1);
    FBuffer.clear();
    ExceptCheck();
}
