#include "SirenPlayer.h"

#include <QFile>
#include <QTimer>
#include <QtEndian>

#include <windows.h>

#include <mmsystem.h>

namespace {

// The length of a RIFF/WAVE file from its header, in milliseconds, or -1
// when the header cannot be read. PlaySound reports no end of its own.
qint64 WaveDurationMs(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray head = file.read(12);
    if (head.size() != 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE")
        return -1;
    quint32 byteRate = 0;
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(8);
        if (chunk.size() != 8)
            return -1;
        const quint32 size = qFromLittleEndian<quint32>(chunk.constData() + 4);
        if (chunk.startsWith("fmt ")) {
            const QByteArray fmt = file.read(16);
            if (fmt.size() != 16 || size < 16)
                return -1;
            byteRate = qFromLittleEndian<quint32>(fmt.constData() + 8);
            file.skip(size - 16 + (size & 1));
        } else if (chunk.startsWith("data")) {
            if (byteRate == 0)
                return -1;
            return static_cast<qint64>(size) * 1000 / byteRate;
        } else if (!file.skip(size + (size & 1))) {
            return -1;
        }
    }
    return -1;
}

// The Win32 sound API: PlaySoundW plays the file asynchronously and says
// nothing when it ends, so the end is reported after the sound's length.
class WinSirenPlayer final : public SirenPlayer {
public:
    explicit WinSirenPlayer(QObject* parent) : SirenPlayer(parent), m_end(new QTimer(this)) {
        m_end->setSingleShot(true);
        connect(m_end, &QTimer::timeout, this, [this] {
            m_stopped = true;
            emit Finished();
        });
    }
    ~WinSirenPlayer() override { Stop(); }

    bool IsAvailable() const override { return waveOutGetNumDevs() > 0; }

    void SetSource(const QString& path) override {
        m_path = path;
        m_durationMs = path.isEmpty() ? -1 : WaveDurationMs(path);
    }

    void Play() override {
        // The file may have been replaced since it was chosen.
        m_durationMs = WaveDurationMs(m_path);
        const bool started =
            m_durationMs > 0 && PlaySoundW(reinterpret_cast<LPCWSTR>(m_path.utf16()), nullptr,
                                           SND_ASYNC | SND_FILENAME | SND_NODEFAULT);
        m_stopped = !started;
        ++m_playback;
        // Outcomes come from the event loop, never from inside Play(); a
        // failure reported late does not end a later playback.
        if (!started) {
            QTimer::singleShot(0, this, [this, playback = m_playback] {
                if (playback == m_playback)
                    emit Failed();
            });
            return;
        }
        emit DurationKnown(m_durationMs);
        m_end->start(static_cast<int>(m_durationMs));
    }

    void Stop() override {
        ++m_playback;
        m_end->stop();
        if (!m_stopped)
            PlaySoundW(nullptr, nullptr, 0);
        m_stopped = true;
    }

    bool IsStopped() const override { return m_stopped; }
    qint64 DurationMs() const override { return m_durationMs; }

private:
    QTimer* m_end;
    QString m_path;
    qint64 m_durationMs = -1;
    bool m_stopped = true;
    quint64 m_playback = 0;
};

} // namespace

SirenPlayer* SirenPlayer::Create(QObject* parent) {
    return new WinSirenPlayer(parent);
}
