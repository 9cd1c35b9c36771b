// The serial port on the Win32 communications interface. The port is opened
// for overlapped I/O; every transfer is started and then waited for right
// here, so to the class each call is simply blocking.
#include "serial_platform.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace SerialPlatform {

namespace {

HANDLE AsHandle(PortHandle port) {
    return reinterpret_cast<HANDLE>(port);
}

std::wstring Widen(const std::string& text) {
    if (text.empty())
        return {};
    const int size =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0)
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                              size);
    return wide;
}

std::string Narrow(const wchar_t* text, int length) {
    if (length <= 0)
        return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text, length, narrow.data(), size, nullptr, nullptr);
    return narrow;
}

// The classic flag word of TDCB, taken apart into the bit fields of the
// system's structure and put together again. Done field by field because the
// layout of bit fields is the compiler's business.
void ToSystem(const TDCB& from, ::DCB& to) {
    const std::uint32_t f = from.Flags;
    to.DCBlength = sizeof(::DCB);
    to.BaudRate = from.BaudRate;
    to.fBinary = (f >> 0) & 1;
    to.fParity = (f >> 1) & 1;
    to.fOutxCtsFlow = (f >> 2) & 1;
    to.fOutxDsrFlow = (f >> 3) & 1;
    to.fDtrControl = (f >> 4) & 3;
    to.fDsrSensitivity = (f >> 6) & 1;
    to.fTXContinueOnXoff = (f >> 7) & 1;
    to.fOutX = (f >> 8) & 1;
    to.fInX = (f >> 9) & 1;
    to.fErrorChar = (f >> 10) & 1;
    to.fNull = (f >> 11) & 1;
    to.fRtsControl = (f >> 12) & 3;
    to.fAbortOnError = (f >> 14) & 1;
    to.wReserved = 0;
    to.XonLim = from.XonLim;
    to.XoffLim = from.XoffLim;
    to.ByteSize = from.ByteSize;
    to.Parity = from.Parity;
    to.StopBits = from.StopBits;
    to.XonChar = from.XonChar;
    to.XoffChar = from.XoffChar;
    to.ErrorChar = from.ErrorChar;
    to.EofChar = from.EofChar;
    to.EvtChar = from.EvtChar;
    to.wReserved1 = from.wReserved1;
}

void FromSystem(const ::DCB& from, TDCB& to) {
    std::uint32_t f = 0;
    f |= static_cast<std::uint32_t>(from.fBinary) << 0;
    f |= static_cast<std::uint32_t>(from.fParity) << 1;
    f |= static_cast<std::uint32_t>(from.fOutxCtsFlow) << 2;
    f |= static_cast<std::uint32_t>(from.fOutxDsrFlow) << 3;
    f |= static_cast<std::uint32_t>(from.fDtrControl) << 4;
    f |= static_cast<std::uint32_t>(from.fDsrSensitivity) << 6;
    f |= static_cast<std::uint32_t>(from.fTXContinueOnXoff) << 7;
    f |= static_cast<std::uint32_t>(from.fOutX) << 8;
    f |= static_cast<std::uint32_t>(from.fInX) << 9;
    f |= static_cast<std::uint32_t>(from.fErrorChar) << 10;
    f |= static_cast<std::uint32_t>(from.fNull) << 11;
    f |= static_cast<std::uint32_t>(from.fRtsControl) << 12;
    f |= static_cast<std::uint32_t>(from.fAbortOnError) << 14;
    to.DCBlength = from.DCBlength;
    to.BaudRate = from.BaudRate;
    to.Flags = f;
    to.wReserved = from.wReserved;
    to.XonLim = from.XonLim;
    to.XoffLim = from.XoffLim;
    to.ByteSize = from.ByteSize;
    to.Parity = from.Parity;
    to.StopBits = from.StopBits;
    to.XonChar = from.XonChar;
    to.XoffChar = from.XoffChar;
    to.ErrorChar = from.ErrorChar;
    to.EofChar = from.EofChar;
    to.EvtChar = from.EvtChar;
    to.wReserved1 = from.wReserved1;
}

// Line-error flags that a look at the input queue took from the driver.
// The driver hands each flag out only once, so they are held here until
// ClearErrors reports them with its own.
std::mutex heldLock;
std::map<HANDLE, DWORD>& HeldErrors() {
    static std::map<HANDLE, DWORD> held;
    return held;
}

bool PeekQueue(HANDLE port, COMSTAT& comStat) {
    DWORD errors = 0;
    if (!::ClearCommError(port, &errors, &comStat))
        return false;
    if (errors != 0) {
        std::lock_guard lock(heldLock);
        HeldErrors()[port] |= errors;
    }
    return true;
}

// How long an operation that was told to stop may take to end. A driver
// ends a cancelled operation at once; one that does not is not waited for
// any longer than this, so a stuck driver can never hold the caller.
constexpr DWORD CancelWaitMs = 500;

// The record of one overlapped operation together with the bytes it moves.
// It lives on the heap so that an operation which will not end, even when
// cancelled, can be left behind: the driver may still write into the record
// and the buffer later, and must never find freed memory there.
struct Operation {
    OVERLAPPED overlapped{};
    DWORD eventMask = 0;
    std::vector<unsigned char> data;
};

bool Finished(const Operation& op) {
    return HasOverlappedIoCompleted(&op.overlapped); // a macro, hence no ::
}

// Ends an operation still under way. The purge is what the driver is asked
// first; not every driver honours it for an operation already started, so
// the operation is cancelled as well. `waitOn` is what signals its end (the
// port handle, or the operation's own event). True with the result collected
// when it ended within the bounded wait; false when it had to be abandoned,
// in which case the record is deliberately leaked.
bool Cancel(HANDLE port, std::unique_ptr<Operation>& op, DWORD purgeFlag, HANDLE waitOn,
            DWORD& moved, DWORD& error) {
    if (purgeFlag != 0)
        ::PurgeComm(port, purgeFlag);
    if (!Finished(*op)) {
        ::CancelIoEx(port, &op->overlapped);
        ::WaitForSingleObject(waitOn, CancelWaitMs);
    }
    if (!Finished(*op)) {
        static_cast<void>(op.release());
        error = WAIT_TIMEOUT;
        return false;
    }
    error = ::GetOverlappedResult(port, &op->overlapped, &moved, FALSE) ? ERROR_SUCCESS
                                                                        : ::GetLastError();
    return true;
}

// One overlapped transfer, waited for on the port handle up to the deadlock
// time-out. A transfer that has not finished by then is stopped and counts as
// timed out, with what moved before the stop.
template <typename Start>
Transfer Overlapped(HANDLE port, int deadlockMs, DWORD abortFlag, std::unique_ptr<Operation>& op,
                    Start start) {
    Transfer t;
    DWORD moved = 0;
    if (start(*op)) {
        if (!::GetOverlappedResult(port, &op->overlapped, &moved, FALSE)) {
            t.status = Transfer::Failed;
            t.error = static_cast<int>(::GetLastError());
        }
    } else if (const DWORD error = ::GetLastError(); error != ERROR_IO_PENDING) {
        t.status = Transfer::Failed;
        t.error = static_cast<int>(error);
    } else {
        const DWORD wait =
            ::WaitForSingleObject(port, static_cast<DWORD>(deadlockMs > 0 ? deadlockMs : 0));
        if (wait == WAIT_FAILED) {
            t.status = Transfer::Failed;
            t.error = static_cast<int>(::GetLastError());
        } else if (!Finished(*op)) {
            t.status = Transfer::TimedOut;
        }
        DWORD end = ERROR_SUCCESS;
        if (Finished(*op)) {
            if (!::GetOverlappedResult(port, &op->overlapped, &moved, FALSE))
                end = ::GetLastError();
        } else if (!Cancel(port, op, abortFlag, port, moved, end)) {
            moved = 0; // abandoned: what it moved is unknown
        }
        if (end != ERROR_SUCCESS && end != ERROR_OPERATION_ABORTED && end != WAIT_TIMEOUT &&
            t.status == Transfer::Done) {
            t.status = Transfer::Failed;
            t.error = static_cast<int>(end);
        }
    }
    t.count = static_cast<int>(moved);
    if (t.status == Transfer::Failed)
        ::SetLastError(static_cast<DWORD>(t.error));
    return t;
}

} // namespace

int LastOsError() {
    return static_cast<int>(::GetLastError());
}

void ClearOsError() {
    ::SetLastError(ERROR_SUCCESS);
}

std::string OsErrorText(int code) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    int end = static_cast<int>(length);
    // System messages end in a full stop and a line break; a message box
    // line reads better without them.
    while (end > 0 && (buffer[end - 1] <= L' ' || buffer[end - 1] == L'.'))
        --end;
    std::string text = buffer ? Narrow(buffer, end) : std::string();
    if (buffer)
        ::LocalFree(buffer);
    if (text.empty())
        text = "System error " + std::to_string(code);
    return text;
}

bool ComDeviceName(int comNr, std::string& device) {
    device.clear();
    // A name whose number fits no port ("COM-2", "/dev/ttyS-2") must open
    // neither another port nor a file of that name.
    if (comNr < 0) {
        ::SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    device = "\\\\.\\COM" + std::to_string(static_cast<long long>(comNr) + 1);
    return true;
}

PortHandle Open(const std::string& device) {
    const HANDLE h = ::CreateFileW(Widen(device).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return InvalidPort;
    return reinterpret_cast<PortHandle>(h);
}

bool Close(PortHandle port) {
    {
        std::lock_guard lock(heldLock);
        HeldErrors().erase(AsHandle(port));
    }
    return ::CloseHandle(AsHandle(port)) != FALSE;
}

bool SetEventMask(PortHandle port, std::uint32_t mask) {
    return ::SetCommMask(AsHandle(port), mask) != FALSE;
}

bool SetupQueues(PortHandle port, int inputSize, int outputSize) {
    return ::SetupComm(AsHandle(port), static_cast<DWORD>(inputSize > 0 ? inputSize : 0),
                       static_cast<DWORD>(outputSize > 0 ? outputSize : 0)) != FALSE;
}

bool SetReadReturnsAtOnce(PortHandle port) {
    // An interval time-out of MAXDWORD with both total time-outs 0 is the
    // system's "return at once with what is queued". Writes have no time-out
    // of their own; the deadlock time-out bounds them.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    return ::SetCommTimeouts(AsHandle(port), &timeouts) != FALSE;
}

bool GetState(PortHandle port, TDCB& dcb) {
    ::DCB system{};
    system.DCBlength = sizeof(system);
    if (!::GetCommState(AsHandle(port), &system))
        return false;
    FromSystem(system, dcb);
    return true;
}

bool SetState(PortHandle port, const TDCB& dcb) {
    ::DCB system{};
    ToSystem(dcb, system);
    return ::SetCommState(AsHandle(port), &system) != FALSE;
}

bool Escape(PortHandle port, EscapeFunction function) {
    return ::EscapeCommFunction(AsHandle(port), static_cast<DWORD>(function)) != FALSE;
}

bool ModemLines(PortHandle port, bool& dsr, bool& cts) {
    DWORD status = 0;
    if (!::GetCommModemStatus(AsHandle(port), &status))
        return false;
    dsr = (status & MS_DSR_ON) != 0;
    cts = (status & MS_CTS_ON) != 0;
    return true;
}

bool Purge(PortHandle port, unsigned flags) {
    return ::PurgeComm(AsHandle(port), static_cast<DWORD>(flags)) != FALSE;
}

// One call gives everything, whatever was asked for.
bool ClearErrors(PortHandle port, QueueStatus& status, unsigned) {
    DWORD errors = 0;
    COMSTAT comStat{};
    if (!::ClearCommError(AsHandle(port), &errors, &comStat))
        return false;
    {
        std::lock_guard lock(heldLock);
        const auto held = HeldErrors().find(AsHandle(port));
        if (held != HeldErrors().end()) {
            errors |= held->second;
            HeldErrors().erase(held);
        }
    }
    status.errors = errors;
    status.inQueue = comStat.cbInQue;
    status.outQueue = comStat.cbOutQue;
    return true;
}

Transfer Write(PortHandle port, const void* data, std::size_t length, int deadlockMs) {
    const HANDLE h = AsHandle(port);
    auto op = std::make_unique<Operation>();
    const auto* bytes = static_cast<const unsigned char*>(data);
    op->data.assign(bytes, bytes + length);
    return Overlapped(h, deadlockMs, PURGE_TXABORT, op, [h](Operation& o) {
        return ::WriteFile(h, o.data.data(), static_cast<DWORD>(o.data.size()), nullptr,
                           &o.overlapped) != FALSE;
    });
}

Transfer Read(PortHandle port, void* data, std::size_t length, int deadlockMs) {
    const HANDLE h = AsHandle(port);
    // Asked for no more than is queued, a read has nothing to wait for. The
    // port's time-outs say the same, but not every driver keeps to them for
    // an overlapped read: Wine's waits for the first byte to arrive.
    COMSTAT comStat{};
    if (!PeekQueue(h, comStat)) {
        Transfer failed;
        failed.status = Transfer::Failed;
        failed.error = static_cast<int>(::GetLastError());
        return failed;
    }
    length = std::min<std::size_t>(length, comStat.cbInQue);
    if (length == 0)
        return Transfer{};
    auto op = std::make_unique<Operation>();
    op->data.resize(length);
    const Transfer t = Overlapped(h, deadlockMs, PURGE_RXABORT, op, [h](Operation& o) {
        return ::ReadFile(h, o.data.data(), static_cast<DWORD>(o.data.size()), nullptr,
                          &o.overlapped) != FALSE;
    });
    if (op && t.count > 0) // an abandoned read (op released) counts nothing
        std::memcpy(data, op->data.data(), static_cast<std::size_t>(t.count));
    return t;
}

WaitResult WaitForInput(PortHandle port, int timeoutMs) {
    const HANDLE h = AsHandle(port);
    const HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr)
        return WaitResult::Failed;
    WaitResult result = WaitResult::Quiet;
    DWORD failure = ERROR_SUCCESS;
    bool abandoned = false;
    ::SetCommMask(h, EV_RXCHAR);

    COMSTAT comStat{};
    if (!PeekQueue(h, comStat)) {
        failure = ::GetLastError();
        result = WaitResult::Failed;
    } else if (comStat.cbInQue > 0) {
        result = WaitResult::DataReady;
    } else {
        auto op = std::make_unique<Operation>();
        op->overlapped.hEvent = event;
        if (::WaitCommEvent(h, &op->eventMask, &op->overlapped)) {
            result = (op->eventMask & EV_RXCHAR) ? WaitResult::DataReady : WaitResult::Quiet;
        } else if (::GetLastError() == ERROR_IO_PENDING) {
            // The wait's own result does not matter: clearing the mask ends a
            // wait still pending with an empty mask, and a driver that ignores
            // that is cancelled; either way the wait is over, or abandoned,
            // within a bounded time.
            ::WaitForSingleObject(event, static_cast<DWORD>(timeoutMs > 0 ? timeoutMs : 0));
            ::SetCommMask(h, 0);
            DWORD unused = 0;
            DWORD end = ERROR_SUCCESS;
            if (Finished(*op)) {
                if (!::GetOverlappedResult(h, &op->overlapped, &unused, FALSE))
                    end = ::GetLastError();
            } else if (!Cancel(h, op, 0, event, unused, end)) {
                abandoned = true; // the event stays with the abandoned record
            }
            if (end == ERROR_SUCCESS)
                result = (op->eventMask & EV_RXCHAR) ? WaitResult::DataReady : WaitResult::Quiet;
            else if (end == ERROR_OPERATION_ABORTED || end == WAIT_TIMEOUT)
                result = WaitResult::Quiet;
            else {
                failure = end;
                result = WaitResult::Failed;
            }
        } else {
            failure = ::GetLastError();
            result = WaitResult::Failed;
        }
    }
    ::SetCommMask(h, 0);
    if (!abandoned)
        ::CloseHandle(event);
    if (result == WaitResult::Failed)
        ::SetLastError(failure);
    return result;
}

bool Drain(PortHandle port) {
    return ::FlushFileBuffers(AsHandle(port)) != FALSE;
}

void YieldSlice() {
    ::Sleep(0);
}

} // namespace SerialPlatform
