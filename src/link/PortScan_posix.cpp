#include "PortScan.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString readSysAttribute(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(f.readAll()).trimmed();
}

// A tty with a device behind it is a real port, except the legacy 8250
// placeholders that the kernel creates for every possible UART: those report
// port type 0 when no hardware answers.
bool isRealSerialPort(const QString& sysDir, const QString& name) {
    if (!QFileInfo::exists(sysDir + "/device"))
        return false;
    const QString driver = QFileInfo(sysDir + "/device/driver").canonicalFilePath();
    if (driver.endsWith("/serial8250") || name.startsWith("ttyS")) {
        const QString type = readSysAttribute(sysDir + "/type");
        if (type.isEmpty() || type == "0")
            return false;
    }
    return true;
}

} // namespace

QStringList ListSerialPorts(const std::function<void(const QString&)>& probeError) {
    return ListSerialPortsIn(QStringLiteral("/sys/class/tty"), QStringLiteral("/dev"),
                             QStringLiteral("/tmp"), probeError);
}

QStringList ListSerialPortsIn(const QString& sysClassTty, const QString& devDir,
                              const QString& tmpDir,
                              const std::function<void(const QString&)>& /*probeError*/) {
    QStringList ports;
    const QDir sys(sysClassTty);
    QStringList names = sys.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        // ttyS2 before ttyS10: compare the prefix, then the number.
        auto split = [](const QString& s) {
            int i = s.size();
            while (i > 0 && s[i - 1].isDigit())
                --i;
            return std::pair{s.left(i), s.mid(i).toInt()};
        };
        return split(a) < split(b);
    });
    for (const QString& name : names) {
        if (!isRealSerialPort(sys.filePath(name), name))
            continue;
        // In a container or sandbox the kernel lists ports that have no
        // device node here: they cannot be opened, so they are not offered.
        const QString dev = devDir + '/' + name;
        if (!QFileInfo::exists(dev))
            continue;
        ports << dev;
    }
    // Virtual detectors publish a stable link to their pseudo-terminal.
    const QDir tmp(tmpDir);
    for (const QFileInfo& link :
         tmp.entryInfoList({"ttyVD*"}, QDir::System | QDir::Files, QDir::Name)) {
        if (link.isSymLink() && link.exists())
            ports << link.filePath();
    }
    return ports;
}
