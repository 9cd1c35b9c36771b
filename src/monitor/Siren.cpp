#include "Siren.h"

#include <QAudioOutput>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMediaPlayer>
#include <QTimer>

Siren::Siren(QObject* parent)
    : QObject(parent), MediaPlayer1(new QMediaPlayer(this)), m_audio(new QAudioOutput(this)),
      m_watchdog(new QTimer(this)) {
    MediaPlayer1->setObjectName(QStringLiteral("MediaPlayer1"));
    MediaPlayer1->setAudioOutput(m_audio);
    m_watchdog->setSingleShot(true);

    // The end is handled after the player has finished its own signal, so
    // stopping it from here never re-enters the player.
    connect(
        MediaPlayer1, &QMediaPlayer::mediaStatusChanged, this,
        [this](QMediaPlayer::MediaStatus status) {
            if (status == QMediaPlayer::EndOfMedia)
                Finish(End::EndOfMedia);
            else if (status == QMediaPlayer::InvalidMedia)
                Finish(End::Error);
        },
        Qt::QueuedConnection);
    connect(
        MediaPlayer1, &QMediaPlayer::errorOccurred, this,
        [this](QMediaPlayer::Error error, const QString&) {
            if (error != QMediaPlayer::NoError)
                Finish(End::Error);
        },
        Qt::QueuedConnection);
    connect(MediaPlayer1, &QMediaPlayer::durationChanged, this, [this](qint64 duration) {
        if (m_playing && duration > 0)
            m_watchdog->start(static_cast<int>(duration) + EndMarginMs);
    });
    connect(m_watchdog, &QTimer::timeout, this, [this] { Finish(End::NoEndReported); });
}

Siren::~Siren() = default;

bool Siren::SetSoundFile(const QString& path) {
    m_available = QFileInfo(path).isFile();
    m_source = m_available ? QUrl::fromLocalFile(path) : QUrl();
    if (!m_playing)
        MediaPlayer1->setSource(m_source);
    return m_available;
}

void Siren::StartSiren() {
    if (!m_available || m_playing || !MediaPlayer1->isAvailable())
        return;
    // A file that failed to open is opened afresh: it may have been replaced.
    if (MediaPlayer1->source() != m_source ||
        MediaPlayer1->mediaStatus() == QMediaPlayer::InvalidMedia) {
        MediaPlayer1->setSource(QUrl());
        MediaPlayer1->setSource(m_source);
    }
    m_playing = true;
    const qint64 duration = MediaPlayer1->duration();
    m_watchdog->start(duration > 0 ? static_cast<int>(duration) + EndMarginMs
                                   : UnknownDurationLimitMs);
    MediaPlayer1->play();
    emit Started();
}

void Siren::MediaPlayer1Notify() {
    Finish(End::EndOfMedia);
}

void Siren::Finish(End reason) {
    if (!m_playing)
        return;
    m_watchdog->stop();
    MediaPlayer1->stop();
    m_playing = false;
    m_lastEnd = reason;
    emit Ended(reason);
}
