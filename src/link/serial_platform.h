#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The operating-system side of the serial port, reduced to the effects the
// port class relies on. Each function maps onto one communications call of
// the platform (or a short fixed sequence of them); one implementation file
// per platform, nothing else in the program touches the port directly.
//
// Error convention: a function that fails returns false (or InvalidPort /
// a Failed status) and leaves the reason in LastOsError(), exactly as the
// platform's own calls do.

// Line settings as the driver keeps them. The flag word uses the classic
// bit layout of a device control block, so the same numbers mean the same
// thing on every platform.
struct TDCB {
    std::uint32_t DCBlength = 0;
    std::uint32_t BaudRate = 0;
    std::uint32_t Flags = 0;
    std::uint16_t wReserved = 0;
    std::uint16_t XonLim = 0;
    std::uint16_t XoffLim = 0;
    std::uint8_t ByteSize = 0;
    std::uint8_t Parity = 0;   // 0 none, 1 odd, 2 even, 3 mark, 4 space
    std::uint8_t StopBits = 0; // 0 one, 1 one and a half, 2 two
    char XonChar = 0;
    char XoffChar = 0;
    char ErrorChar = 0;
    char EofChar = 0;
    char EvtChar = 0;
    std::uint16_t wReserved1 = 0;

    bool operator==(const TDCB&) const = default;
};

namespace SerialPlatform {

// Bits of TDCB::Flags.
inline constexpr std::uint32_t dcbBinary = 0x0001;
inline constexpr std::uint32_t dcbParityCheck = 0x0002;
inline constexpr std::uint32_t dcbOutxCtsFlow = 0x0004;
inline constexpr std::uint32_t dcbOutxDsrFlow = 0x0008;
inline constexpr std::uint32_t dcbDtrControlEnable = 0x0010;
inline constexpr std::uint32_t dcbDtrControlHandshake = 0x0020;
inline constexpr std::uint32_t dcbOutX = 0x0100;
inline constexpr std::uint32_t dcbInX = 0x0200;
inline constexpr std::uint32_t dcbRtsControlEnable = 0x1000;
inline constexpr std::uint32_t dcbRtsControlHandshake = 0x2000;

// Error flags reported by ClearErrors.
inline constexpr std::uint32_t ceRxOver = 0x0001;
inline constexpr std::uint32_t ceOverrun = 0x0002;
inline constexpr std::uint32_t ceRxParity = 0x0004;
inline constexpr std::uint32_t ceFrame = 0x0008;
inline constexpr std::uint32_t ceTxFull = 0x0100;

// Purge flags.
inline constexpr unsigned purgeTxAbort = 0x01;
inline constexpr unsigned purgeRxAbort = 0x02;
inline constexpr unsigned purgeTxClear = 0x04;
inline constexpr unsigned purgeRxClear = 0x08;

// Modem-line functions for Escape.
enum class EscapeFunction { SetRts = 3, ClearRts = 4, SetDtr = 5, ClearDtr = 6 };

// An open port: a file descriptor on POSIX, a HANDLE on Windows.
using PortHandle = std::intptr_t;
inline constexpr PortHandle InvalidPort = -1;

int LastOsError();
void ClearOsError();
// The platform's own message text for an error number.
std::string OsErrorText(int code);

// The COM number of a port name that carries a number no port can have
// ("COM-2", "/dev/ttyS-2", "COM99999999999").
inline constexpr int NoPortNumber = -2;

// The device a zero-based COM number (or NoPortNumber) is opened under. An
// empty `device` means the name is opened as typed. False when the platform
// refuses the name instead; the reason is then in LastOsError().
bool ComDeviceName(int comNr, std::string& device);

// Opens a port exclusively for reading and writing, for non-blocking
// (overlapped) transfers and as a binary line. InvalidPort on failure.
PortHandle Open(const std::string& device);
bool Close(PortHandle port);

// Receive-event mask; only "none" (0) is used outside WaitForInput.
bool SetEventMask(PortHandle port, std::uint32_t mask);
// Driver queue sizes; a hint the driver may ignore.
bool SetupQueues(PortHandle port, int inputSize, int outputSize);
// A read returns at once with whatever is queued, possibly nothing.
bool SetReadReturnsAtOnce(PortHandle port);

bool GetState(PortHandle port, TDCB& dcb);
bool SetState(PortHandle port, const TDCB& dcb);

// Raises or drops RTS / DTR. A device without modem lines counts as success.
bool Escape(PortHandle port, EscapeFunction function);
// DSR and CTS inputs; a device without modem lines reports both as on.
bool ModemLines(PortHandle port, bool& dsr, bool& cts);

bool Purge(PortHandle port, unsigned flags);

struct QueueStatus {
    std::uint32_t errors = 0; // ce* flags raised since the last call
    std::uint32_t inQueue = 0;
    std::uint32_t outQueue = 0;
};
// The queue counts a caller needs; the error flags always come along (and
// are cleared). Counts not asked for read 0 where fetching them costs a call
// of their own.
inline constexpr unsigned queueIn = 1;
inline constexpr unsigned queueOut = 2;
bool ClearErrors(PortHandle port, QueueStatus& status, unsigned queues = queueIn | queueOut);

// One overlapped transfer. Done: `count` bytes moved. TimedOut: the transfer
// did not finish within the deadlock time-out and was aborted; `count` holds
// what moved before that. Failed: `error` holds the OS error number.
struct Transfer {
    enum Status { Done, TimedOut, Failed };
    Status status = Done;
    int count = 0;
    int error = 0;
};
Transfer Write(PortHandle port, const void* data, std::size_t length, int deadlockMs);
// Reads what is queued, up to `length` bytes; never waits for more.
Transfer Read(PortHandle port, void* data, std::size_t length, int deadlockMs);

// Waits up to `timeoutMs` for received bytes. Failed means the port itself
// is gone (hung up, unplugged): the reason is in LastOsError().
enum class WaitResult { DataReady, Quiet, Failed };
WaitResult WaitForInput(PortHandle port, int timeoutMs);

// Blocks until all queued output has left the port.
bool Drain(PortHandle port);

// Gives up the rest of the time slice.
void YieldSlice();

} // namespace SerialPlatform
