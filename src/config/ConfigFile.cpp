#include "ConfigFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// A configuration is one small file. Anything else that can carry a name
// (a named pipe, a socket, a device, a folder) is refused before it is
// opened: opening a pipe waits for a writer and would freeze the window, and
// a device or socket cannot hold a configuration anyway. A name that does not
// exist yet is fine for saving and fails to open for loading as usual.
bool IsSomethingOtherThanAFile(const QString& path) {
    const QFileInfo info(path);
    return info.exists() && !info.isFile();
}

const QString NotAFile = QStringLiteral("It is not a regular file.");

} // namespace

QString ConfigSaveFileName(const QString& chosen) {
    if (chosen.endsWith(QStringLiteral("bin"), Qt::CaseSensitive))
        return chosen;
    return chosen + QStringLiteral(".bin");
}

FileError ReadConfigFile(const QString& path, DetectorConfig& config) {
    if (IsSomethingOtherThanAFile(path))
        return QStringLiteral("Cannot open file \"%1\". %2")
            .arg(QDir::toNativeSeparators(path), NotAFile);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("Cannot open file \"%1\". %2")
            .arg(QDir::toNativeSeparators(path), file.errorString());

    // Read into a local buffer first, so a short or failing read leaves the
    // record as it was.
    DetectorConfig loaded;
    auto* into = reinterpret_cast<char*>(loaded.Bytes.data());
    qint64 total = 0;
    while (total < DetectorConfig::Size) {
        const qint64 got = file.read(into + total, DetectorConfig::Size - total);
        if (got <= 0)
            return QStringLiteral("Stream read error");
        total += got;
    }
    config = loaded;
    return {};
}

FileError WriteConfigFile(const QString& path, const DetectorConfig& config) {
    const DetectorConfig copy = config;
    if (IsSomethingOtherThanAFile(path))
        return QStringLiteral("Cannot create file \"%1\". %2")
            .arg(QDir::toNativeSeparators(path), NotAFile);
    QFile file(path);
    // Unbuffered, so that a failing write shows here and not in a close that
    // cannot report it.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return QStringLiteral("Cannot create file \"%1\". %2")
            .arg(QDir::toNativeSeparators(path), file.errorString());
    const auto* from = reinterpret_cast<const char*>(copy.Bytes.data());
    if (file.write(from, DetectorConfig::Size) != DetectorConfig::Size)
        return QStringLiteral("Stream write error");
    return {};
}
