#pragma once

#include <QObject>
#include <QString>

// The platform's sound player behind the alarm: Qt Multimedia on Linux, the
// Win32 sound API on Windows. Every call returns at once; the outcome of a
// playback comes later as exactly one of Finished or Failed, never from
// inside Play() itself.
class SirenPlayer : public QObject {
    Q_OBJECT
public:
    // The player of this platform.
    static SirenPlayer* Create(QObject* parent);

    // Whether this platform can play sound at all.
    virtual bool IsAvailable() const = 0;
    virtual void SetSource(const QString& path) = 0;
    virtual void Play() = 0;
    virtual void Stop() = 0;
    virtual bool IsStopped() const = 0;
    // The sound's length in milliseconds, or -1 while it is not known.
    virtual qint64 DurationMs() const = 0;

signals:
    void Finished();
    void Failed();
    void DurationKnown(qint64 ms);

protected:
    using QObject::QObject;
};
