#include "ConfigFile.h"

#include <QDir>
#include <QFile>

QString ConfigSaveFileName(const QString& chosen) {
    if (chosen.endsWith(QStringLiteral("bin"), Qt::CaseSensitive))
        return chosen;
    return chosen + QStringLiteral(".bin");
}

FileError ReadConfigFile(const QString& path, DetectorConfig& config) {
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
