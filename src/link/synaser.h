#pragma once

#include "serial_platform.h"

#include <array>
#include <chrono>
#include <stdexcept>
#include <string>

// Raised by TBlockSerial when RaiseExcept is on and an operation fails.
// what() reads "Communication error <code>: <text>".
class ESynaSerError : public std::runtime_error {
public:
    ESynaSerError(int errorCode, const std::string& errorMessage);
    int ErrorCode() const { return FErrorCode; }
    const std::string& ErrorMessage() const { return FErrorMessage; }

private:
    int FErrorCode;
    std::string FErrorMessage;
};

// Error codes of the port class; any other non-zero code is an OS error number.
namespace SynaSer {
inline constexpr int ErrAlreadyOwned = 9991;
inline constexpr int ErrAlreadyInUse = 9992;
inline constexpr int ErrWrongParameter = 9993;
inline constexpr int ErrPortNotOpen = 9994;
inline constexpr int ErrNoDeviceAnswer = 9995;
inline constexpr int ErrMaxBuffer = 9996;
inline constexpr int ErrTimeout = 9997;
inline constexpr int ErrNotRead = 9998;
inline constexpr int ErrFrame = 9999;
inline constexpr int ErrOverrun = 10000;
inline constexpr int ErrRxOver = 10001;
inline constexpr int ErrRxParity = 10002;
inline constexpr int ErrTxFull = 10003;
} // namespace SynaSer

// Blocking serial port. Every call finishes before it returns; nothing runs
// in the background. Failures are kept as a last-error code with its text
// (LastError / LastErrorDesc), each operation replacing the previous one's;
// with RaiseExcept on they are also thrown as ESynaSerError.
//
// Byte strings (RecvPacket, LineBuffer) are std::string holding raw bytes.
// Time-outs are in milliseconds. One thread only.
class TBlockSerial {
public:
    TBlockSerial();
    ~TBlockSerial(); // closes the port
    TBlockSerial(const TBlockSerial&) = delete;
    TBlockSerial& operator=(const TBlockSerial&) = delete;

    // --- Opening, settings, closing -----------------------------------------
    // "COMn" (any case) opens COM port n under the platform's device name;
    // any other name is opened as typed. Fails with 9992 when already open.
    void Connect(const std::string& comport);
    // The device Connect() opens for `comport`: "COM1" names a platform
    // device, any other name is opened as typed.
    static std::string DeviceFor(const std::string& comport);
    // parity: 'N','O','E','M','S' (any case; another character keeps the
    // driver's parity); stop: 0 one, 1 one and a half, 2 two stop bits.
    void Config(int baud, int bits, char parity, int stop, bool softflow, bool hardflow);
    void CloseSocket(); // safe on a closed port
    void GetCommState();
    void SetCommState();
    // The in-memory device control block between GetCommState and SetCommState.
    TDCB& Dcb() { return FDcb; }
    const TDCB& Dcb() const { return FDcb; }

    // --- Transfers ----------------------------------------------------------
    int SendBuffer(const void* buffer, int length);
    int SendingData();
    int WaitingData();
    bool CanRead(int timeout);
    // One chunk: the kept surplus if any, else what is queued, waiting up to
    // `timeout` for the first byte.
    std::string RecvPacket(int timeout);
    int RecvBuffer(void* buffer, int length);
    // Up to `length` bytes. With InterPacketTimeout each wait for further
    // bytes gets the whole `timeout`; bytes beyond `length` that came in the
    // last chunk are kept for the next receive. Never writes past `length`.
    int RecvBufferEx(void* buffer, int length, int timeout);
    // How long a receive that is `missing` bytes short of its answer sleeps
    // before it reads again, given its wait for further bytes of `waitMs`.
    std::chrono::microseconds ReceiveNap(int missing, int waitMs) const;
    void Flush(); // waits for output to drain; keeps received data
    void Purge(); // discards both driver queues and the kept surplus
    // Discards received data only (driver input queue and kept surplus);
    // output still queued for sending is left alone.
    void PurgeInput();
    void SetRTS(bool value);
    void SetDTR(bool value);

    // --- Error machinery ----------------------------------------------------
    static std::string GetErrorDesc(int errorCode);
    void SetSynaError(int errNumber);
    int SerialCheck(int serialResult);
    void RaiseSynaError(int errNumber);
    void ExceptCheck();
    // Sets LastError (not its text) from driver error flags, last present wins.
    void TranslateCommErrors(std::uint32_t errorFlags);
    // False (error 9994 or 9995 set) when a transfer must not start.
    bool PortPreCheck();

    // --- Properties ---------------------------------------------------------
    SerialPlatform::PortHandle Handle() const { return Fhandle; }
    const std::string& Device() const { return FDevice; }
    int LastError() const { return FLastError; }
    const std::string& LastErrorDesc() const { return FLastErrorDesc; }
    const std::string& LineBuffer() const { return FBuffer; }
    bool InstanceActive() const { return FInstanceActive; }
    bool RaiseExcept() const { return FRaiseExcept; }
    void SetRaiseExcept(bool value) { FRaiseExcept = value; }
    int SizeRecvBuffer() const { return FRecvBuffer; }
    // Asks the driver for a receive queue of `value` bytes. Re-reads the
    // driver's settings on the way, so unsaved changes to Dcb() are lost.
    void SetSizeRecvBuffer(int value);
    int DeadlockTimeout() const { return FDeadlockTimeout; }
    void SetDeadlockTimeout(int value) { FDeadlockTimeout = value; }
    int AtTimeout() const { return FAtTimeout; }
    void SetAtTimeout(int value) { FAtTimeout = value; }
    bool InterPacketTimeout() const { return FInterPacketTimeout; }
    void SetInterPacketTimeout(bool value) { FInterPacketTimeout = value; }
    bool TestDSR() const { return FTestDSR; }
    void SetTestDSR(bool value) { FTestDSR = value; }
    bool TestCTS() const { return FTestCTS; }
    void SetTestCTS(bool value) { FTestCTS = value; }

private:
    bool ControlLinesPass();
    bool WaitRxEvent(int timeout);
    int FinishTransfer(const SerialPlatform::Transfer& transfer);
    std::string ReadQueued();
    // How long `bytes` characters take on the line at the configured settings;
    // 0 when the line has not been configured.
    std::chrono::microseconds LineTime(int bytes) const;

    // Room for one read: more than any driver queue holds.
    static constexpr std::size_t maxChunk = 4096;
    // Kept between reads: an answer is a few dozen bytes, and a fresh buffer
    // of the full size for each read is an allocation and a clearing per read.
    std::array<char, maxChunk> FReadRoom{};

    SerialPlatform::PortHandle Fhandle = SerialPlatform::InvalidPort;
    std::string FDevice;
    int FComNr = -1;
    int FLastError = 0;
    std::string FLastErrorDesc;
    std::string FBuffer;
    bool FRaiseExcept = false;
    int FRecvBuffer = 4096;
    int FDeadlockTimeout = 30000;
    bool FInstanceActive = false;
    bool FTestDSR = false;
    bool FTestCTS = false;
    int FAtTimeout = 1000;
    bool FInterPacketTimeout = true;
    TDCB FDcb{};
};
