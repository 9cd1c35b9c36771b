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

#include <string>

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

// One overlapped transfer, waited for on the port handle up to the deadlock
// time-out. The overlapped record lives on this stack frame, so the transfer
// must be over, finished or aborted, before the function returns.
template <typename Start>
Transfer Overlapped(HANDLE port, int deadlockMs, DWORD abortFlag, Start start) {
    Transfer t;
    OVERLAPPED overlapped{};
    DWORD moved = 0;
    if (!start(&overlapped)) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_IO_PENDING) {
            t.status = Transfer::Failed;
            t.error = static_cast<int>(error);
            return t;
        }
        const DWORD wait =
            ::WaitForSingleObject(port, static_cast<DWORD>(deadlockMs > 0 ? deadlockMs : 0));
        if (wait == WAIT_TIMEOUT) {
            ::PurgeComm(port, abortFlag);
            t.status = Transfer::TimedOut;
        } else if (wait != WAIT_OBJECT_0) {
            const DWORD waitError = ::GetLastError();
            ::PurgeComm(port, abortFlag);
            t.status = Transfer::Failed;
            t.error = static_cast<int>(waitError);
        }
    }
    if (!::GetOverlappedResult(port, &overlapped, &moved, FALSE)) {
        DWORD error = ::GetLastError();
        if (error == ERROR_IO_INCOMPLETE) {
            // Still under way: the record must outlive the transfer, so abort
            // it and collect the end, which after the purge comes at once.
            ::PurgeComm(port, abortFlag);
            if (::GetOverlappedResult(port, &overlapped, &moved, TRUE))
                error = ERROR_SUCCESS;
            else
                error = ::GetLastError();
        }
        if (error != ERROR_SUCCESS && error != ERROR_OPERATION_ABORTED &&
            t.status == Transfer::Done) {
            t.status = Transfer::Failed;
            t.error = static_cast<int>(error);
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

bool ClearErrors(PortHandle port, QueueStatus& status) {
    DWORD errors = 0;
    COMSTAT comStat{};
    if (!::ClearCommError(AsHandle(port), &errors, &comStat))
        return false;
    status.errors = errors;
    status.inQueue = comStat.cbInQue;
    status.outQueue = comStat.cbOutQue;
    return true;
}

Transfer Write(PortHandle port, const void* data, std::size_t length, int deadlockMs) {
    const HANDLE h = AsHandle(port);
    return Overlapped(h, deadlockMs, PURGE_TXABORT, [&](OVERLAPPED* overlapped) {
        return ::WriteFile(h, data, static_cast<DWORD>(length), nullptr, overlapped) != FALSE;
    });
}

Transfer Read(PortHandle port, void* data, std::size_t length, int deadlockMs) {
    const HANDLE h = AsHandle(port);
    return Overlapped(h, deadlockMs, PURGE_RXABORT, [&](OVERLAPPED* overlapped) {
        return ::ReadFile(h, data, static_cast<DWORD>(length), nullptr, overlapped) != FALSE;
    });
}

WaitResult WaitForInput(PortHandle port, int timeoutMs) {
    const HANDLE h = AsHandle(port);
    const HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr)
        return WaitResult::Failed;
    WaitResult result = WaitResult::Quiet;
    DWORD failure = ERROR_SUCCESS;
    ::SetCommMask(h, EV_RXCHAR);

    DWORD errors = 0;
    COMSTAT comStat{};
    if (!::ClearCommError(h, &errors, &comStat)) {
        failure = ::GetLastError();
        result = WaitResult::Failed;
    } else if (comStat.cbInQue > 0) {
        result = WaitResult::DataReady;
    } else {
        OVERLAPPED overlapped{};
        overlapped.hEvent = event;
        DWORD mask = 0;
        if (::WaitCommEvent(h, &mask, &overlapped)) {
            result = (mask & EV_RXCHAR) ? WaitResult::DataReady : WaitResult::Quiet;
        } else if (::GetLastError() == ERROR_IO_PENDING) {
            // The wait's own result does not matter: clearing the mask ends
            // a wait still pending with an empty mask, and the overlapped
            // result is always collected, so `mask` and the record are free
            // again when this block ends.
            ::WaitForSingleObject(event, static_cast<DWORD>(timeoutMs > 0 ? timeoutMs : 0));
            ::SetCommMask(h, 0);
            DWORD unused = 0;
            if (::GetOverlappedResult(h, &overlapped, &unused, TRUE)) {
                result = (mask & EV_RXCHAR) ? WaitResult::DataReady : WaitResult::Quiet;
            } else {
                failure = ::GetLastError();
                result =
                    failure == ERROR_OPERATION_ABORTED ? WaitResult::Quiet : WaitResult::Failed;
            }
        } else {
            failure = ::GetLastError();
            result = WaitResult::Failed;
        }
    }
    ::SetCommMask(h, 0);
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
