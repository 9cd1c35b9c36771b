#include "ComProbe.h"

#include <cstring>
#include <vector>

ProbeOutcome ProbeOutcomeOf(DWORD error) {
    switch (error) {
    case ERROR_SUCCESS:
    case ERROR_INSUFFICIENT_BUFFER:
        return ProbeOutcome::Found;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_PARAMETER:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_UNIT:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_INVALID_PRINTER_NAME:
    case ERROR_BADKEY: // the port has no configuration key: no such port
        return ProbeOutcome::NoSuchPort;
    default:
        return ProbeOutcome::Failed;
    }
}

namespace {

// One request under one form of the name. A driver whose record is larger
// than the standard one says how much it needs; it is asked again with that
// much room, and the standard part of its record is the result.
bool AskDriver(const std::wstring& form, COMMCONFIG& result, DWORD& error) {
    COMMCONFIG cc{};
    cc.dwSize = sizeof(COMMCONFIG);
    DWORD size = sizeof(COMMCONFIG);
    ::SetLastError(ERROR_SUCCESS);
    if (::GetDefaultCommConfigW(form.c_str(), &cc, &size)) {
        result = cc;
        return true;
    }
    error = ::GetLastError();
    if (error != ERROR_INSUFFICIENT_BUFFER || size <= sizeof(COMMCONFIG))
        return false;
    std::vector<unsigned char> larger(size);
    auto* big = reinterpret_cast<COMMCONFIG*>(larger.data());
    big->dwSize = size;
    if (::GetDefaultCommConfigW(form.c_str(), big, &size)) {
        std::memcpy(&result, larger.data(), sizeof(COMMCONFIG));
        return true;
    }
    return false;
}

} // namespace

COMMCONFIG ProbeComPort(std::wstring name, ProbeOutcome& outcome) {
    if (!name.empty() && name.back() == L':')
        name.pop_back();
    outcome = ProbeOutcome::NoSuchPort;
    for (const std::wstring& form : {name, L"\\\\.\\" + name}) {
        COMMCONFIG cc{};
        DWORD error = ERROR_SUCCESS;
        if (AskDriver(form, cc, error)) {
            outcome = ProbeOutcome::Found;
            return cc;
        }
        switch (ProbeOutcomeOf(error)) {
        case ProbeOutcome::Found:
            // The driver vouched for the port but would not hand over its
            // record: the port is there, with a record of the standard size.
            outcome = ProbeOutcome::Found;
            cc = COMMCONFIG{};
            cc.dwSize = sizeof(COMMCONFIG);
            return cc;
        case ProbeOutcome::Failed:
            outcome = ProbeOutcome::Failed;
            break;
        case ProbeOutcome::NoSuchPort:
            break;
        }
    }
    return COMMCONFIG{};
}
