#include "PortIdentity.h"

#include "synaser.h"

#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>

QString PortIdentity(const QString& portName) {
    const QString device = QString::fromStdString(TBlockSerial::DeviceFor(portName.toStdString()));
    struct stat info {};
    if (::stat(device.toLocal8Bit().constData(), &info) == 0) {
        // A terminal device is the same port under any of its names, hard
        // links and device nodes made elsewhere included.
        if (S_ISCHR(info.st_mode))
            return QStringLiteral("device %1").arg(static_cast<qulonglong>(info.st_rdev));
        return QStringLiteral("file %1:%2")
            .arg(static_cast<qulonglong>(info.st_dev))
            .arg(static_cast<qulonglong>(info.st_ino));
    }
    // Not there (yet): the name as a clean absolute path.
    return QStringLiteral("path ") + QDir::cleanPath(QFileInfo(device).absoluteFilePath());
}
