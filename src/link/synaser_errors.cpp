// The port class's error machinery: codes and their texts, the exception,
// and the checks that every transfer makes before it starts.
#include "synaser.h"

namespace Os = SerialPlatform;
using namespace SynaSer;

namespace {

std::string MessageFor(int code, const std::string& text) {
    return "Communication error " + std::to_string(code) + ": " + text;
}

} // namespace

ESynaSerError::ESynaSerError(int errorCode, const std::string& errorMessage)
    : std::runtime_error(MessageFor(errorCode, errorMessage)), FErrorCode(errorCode),
      FErrorMessage(errorMessage) {}

// --- Error machinery --------------------------------------------------------

std::string TBlockSerial::GetErrorDesc(int errorCode) {
    const char* text = "";
    switch (errorCode) {
    case 0:
        text = "OK";
        break;
    case ErrAlreadyOwned:
        text = "Port owned by other process";
        break;
    case ErrAlreadyInUse:
        text = "Instance already in use";
        break;
    case ErrWrongParameter:
        text = "Wrong parameter at call";
        break;
    case ErrPortNotOpen:
        text = "Instance not yet connected";
        break;
    case ErrNoDeviceAnswer:
        text = "No device answer detected";
        break;
    case ErrMaxBuffer:
        text = "Maximal buffer length exceeded";
        break;
    case ErrTimeout:
        text = "Timeout during operation";
        break;
    case ErrNotRead:
        text = "Reading of data failed";
        break;
    case ErrFrame:
        text = "Receive framing error";
        break;
    case ErrOverrun:
        text = "Receive Overrun Error";
        break;
    case ErrRxOver:
        text = "Receive Queue overflow";
        break;
    case ErrRxParity:
        text = "Receive Parity Error";
        break;
    case ErrTxFull:
        text = "Tranceive Queue is full";
        break;
    default:
        break;
    }
    if (*text == '\0')
        return Os::OsErrorText(errorCode);
    return text;
}

void TBlockSerial::SetSynaError(int errNumber) {
    FLastError = errNumber;
    FLastErrorDesc = GetErrorDesc(errNumber);
}

int TBlockSerial::SerialCheck(int serialResult) {
    FLastError = serialResult == -1 ? Os::LastOsError() : 0;
    FLastErrorDesc = GetErrorDesc(FLastError);
    return FLastError;
}

void TBlockSerial::ExceptCheck() {
    if (FRaiseExcept && FLastError != 0)
        throw ESynaSerError(FLastError, FLastErrorDesc);
}

void TBlockSerial::RaiseSynaError(int errNumber) {
    SetSynaError(errNumber);
    ExceptCheck();
}

void TBlockSerial::TranslateCommErrors(std::uint32_t errorFlags) {
    // Only the code changes; the text stays that of the code set before.
    if (errorFlags & Os::ceFrame)
        FLastError = ErrFrame;
    if (errorFlags & Os::ceOverrun)
        FLastError = ErrOverrun;
    if (errorFlags & Os::ceRxOver)
        FLastError = ErrRxOver;
    if (errorFlags & Os::ceRxParity)
        FLastError = ErrRxParity;
    if (errorFlags & Os::ceTxFull)
        FLastError = ErrTxFull;
}

bool TBlockSerial::ControlLinesPass() {
    if (!FTestDSR && !FTestCTS)
        return true;
    bool dsr = false;
    bool cts = false;
    if (!Os::ModemLines(Fhandle, dsr, cts))
        return false;
    return (!FTestDSR || dsr) && (!FTestCTS || cts);
}

bool TBlockSerial::PortPreCheck() {
    if (!FInstanceActive) {
        RaiseSynaError(ErrPortNotOpen);
        return false;
    }
    if (!ControlLinesPass()) {
        RaiseSynaError(ErrNoDeviceAnswer);
        return false;
    }
    return true;
}
