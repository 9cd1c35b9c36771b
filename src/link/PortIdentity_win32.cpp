#include "PortIdentity.h"

#include "synaser.h"

QString PortIdentity(const QString& portName) {
    // Windows names devices without regard to case: COM1, com1 and
    // \\.\COM1 are one port.
    QString device = QString::fromStdString(TBlockSerial::DeviceFor(portName.toStdString()));
    const QString prefix = QStringLiteral("\\\\.\\");
    if (device.startsWith(prefix))
        device.remove(0, prefix.size());
    return device.toUpper();
}
