#include "PortScan.h"

#include <windows.h>

namespace {

// Returns the port's default configuration record, or an all-zero record when
// the port does not exist. The record's first field is its size, so a
// non-zero size means the port was found.
bool MeansNoSuchPort(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_PARAMETER:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_UNIT:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_INVALID_PRINTER_NAME:
        return true;
    default:
        return false;
    }
}

// Returns the port's default configuration record, or an all-zero record when
// the port does not exist. The record's first field is its size, so a
// non-zero size means the port was found. Any failure other than "no such
// port" is reported through probeError.
COMMCONFIG ProbeComPort(QString name, const std::function<void(const QString&)>& probeError) {
    if (name.endsWith(':'))
        name.chop(1);
    const std::wstring forms[] = {name.toStdWString(),
                                  (QStringLiteral("\\\\.\\") + name).toStdWString()};
    DWORD lastError = 0;
    for (const std::wstring& form : forms) {
        COMMCONFIG cc{};
        cc.dwSize = sizeof(COMMCONFIG);
        DWORD size = sizeof(COMMCONFIG);
        SetLastError(0);
        if (GetDefaultCommConfigW(form.c_str(), &cc, &size))
            return cc;
        lastError = GetLastError();
    }
    if (lastError != 0 && !MeansNoSuchPort(lastError) && probeError)
        probeError(name);
    return COMMCONFIG{};
}

} // namespace

QStringList ListSerialPorts(const std::function<void(const QString&)>& probeError) {
    QStringList ports;
    for (int n = 1; n <= 255; ++n) {
        const QString name = QStringLiteral("COM%1").arg(n);
        if (ProbeComPort(name, probeError).dwSize != 0)
            ports << name;
    }
    return ports;
}
