#pragma once

#include <QObject>
#include <QString>

class QTimer;
class SirenPlayer;

// The alarm sound. One playback per start; a new start is accepted only after
// the end of the previous one has been reported. Whatever goes wrong with the
// sound (no audio device, no media backend, a broken file) ends a playback
// instead of leaving it running: the alarm is then merely silent.
class Siren : public QObject {
    Q_OBJECT
public:
    enum class End { None, EndOfMedia, Error, NoEndReported, Muted };
    Q_ENUM(End)

    explicit Siren(QObject* parent = nullptr);
    ~Siren() override;

    // Hands `path` to the player; the sound is available when the file exists.
    bool SetSoundFile(const QString& path);
    bool Available() const { return m_available; }

    // Starts one playback, unless there is no sound, one is playing or the
    // sound is muted.
    void StartSiren();
    // The end of a playback: closes it and allows the next start.
    void MediaPlayer1Notify();

    bool SirenPlaying() const { return m_playing; }

    // Muting ends a playback at once and keeps the alarm silent until the
    // sound is turned back on; the next alarm status after that sounds again.
    void SetMuted(bool muted);
    bool Muted() const { return m_muted; }
    End LastEnd() const { return m_lastEnd; }

    SirenPlayer* MediaPlayer1;

    // A playback that reports no end within this margin beyond its duration
    // (or, duration unknown, this long) is taken as ended.
    static constexpr int EndMarginMs = 5000;
    static constexpr int UnknownDurationLimitMs = 30000;

signals:
    void Started();
    void Ended(Siren::End reason);

private:
    void Finish(End reason);

    QTimer* m_watchdog;
    QString m_path;
    bool m_available = false;
    bool m_playing = false;
    bool m_muted = false;
    End m_lastEnd = End::None;
};
