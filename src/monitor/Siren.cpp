#include "Siren.h"

#include "SirenPlayer.h"

#include <QFileInfo>
#include <QTimer>

Siren::Siren(QObject* parent)
    : QObject(parent), MediaPlayer1(SirenPlayer::Create(this)), m_watchdog(new QTimer(this)) {
    MediaPlayer1->setObjectName(QStringLiteral("MediaPlayer1"));
    m_watchdog->setSingleShot(true);

    connect(MediaPlayer1, &SirenPlayer::Finished, this, [this] { Finish(End::EndOfMedia); });
    connect(MediaPlayer1, &SirenPlayer::Failed, this, [this] { Finish(End::Error); });
    connect(MediaPlayer1, &SirenPlayer::DurationKnown, this, [this](qint64 duration) {
        if (m_playing)
            m_watchdog->start(static_cast<int>(duration) + EndMarginMs);
    });
    connect(m_watchdog, &QTimer::timeout, this, [this] { Finish(End::NoEndReported); });
}

Siren::~Siren() = default;

bool Siren::SetSoundFile(const QString& path) {
    m_available = QFileInfo(path).isFile();
    m_path = m_available ? path : QString();
    if (!m_playing)
        MediaPlayer1->SetSource(m_path);
    return m_available;
}

void Siren::StartSiren() {
    if (!m_available || m_playing || m_muted || !MediaPlayer1->IsAvailable())
        return;
    // The file chosen while the previous playback ran.
    MediaPlayer1->SetSource(m_path);
    m_playing = true;
    const qint64 duration = MediaPlayer1->DurationMs();
    m_watchdog->start(duration > 0 ? static_cast<int>(duration) + EndMarginMs
                                   : UnknownDurationLimitMs);
    MediaPlayer1->Play();
    emit Started();
}

void Siren::SetMuted(bool muted) {
    m_muted = muted;
    if (muted)
        Finish(End::Muted);
}

void Siren::MediaPlayer1Notify() {
    Finish(End::EndOfMedia);
}

void Siren::Finish(End reason) {
    if (!m_playing)
        return;
    m_watchdog->stop();
    MediaPlayer1->Stop();
    m_playing = false;
    m_lastEnd = reason;
    emit Ended(reason);
}
