#include "SirenPlayer.h"

#include <QAudioOutput>
#include <QMediaPlayer>
#include <QUrl>

namespace {

// Qt Multimedia: reports the end of playback itself, also without an audio
// server (GStreamer falls back to a fake sink).
class MediaSirenPlayer final : public SirenPlayer {
public:
    explicit MediaSirenPlayer(QObject* parent)
        : SirenPlayer(parent), m_player(new QMediaPlayer(this)), m_audio(new QAudioOutput(this)) {
        m_player->setAudioOutput(m_audio);
        // Queued, so that the owner may stop the player from its handlers
        // without re-entering the player's own signal.
        connect(
            m_player, &QMediaPlayer::mediaStatusChanged, this,
            [this](QMediaPlayer::MediaStatus status) {
                if (status == QMediaPlayer::EndOfMedia)
                    emit Finished();
                else if (status == QMediaPlayer::InvalidMedia)
                    emit Failed();
            },
            Qt::QueuedConnection);
        connect(
            m_player, &QMediaPlayer::errorOccurred, this,
            [this](QMediaPlayer::Error error, const QString&) {
                if (error != QMediaPlayer::NoError)
                    emit Failed();
            },
            Qt::QueuedConnection);
        connect(m_player, &QMediaPlayer::durationChanged, this, [this](qint64 duration) {
            if (duration > 0)
                emit DurationKnown(duration);
        });
    }

    bool IsAvailable() const override { return m_player->isAvailable(); }

    void SetSource(const QString& path) override {
        m_source = path.isEmpty() ? QUrl() : QUrl::fromLocalFile(path);
        if (m_player->source() != m_source)
            m_player->setSource(m_source);
    }

    void Play() override {
        // A file that failed to open is opened afresh: it may have been replaced.
        if (m_player->source() != m_source ||
            m_player->mediaStatus() == QMediaPlayer::InvalidMedia) {
            m_player->setSource(QUrl());
            m_player->setSource(m_source);
        }
        m_player->play();
    }

    void Stop() override { m_player->stop(); }
    bool IsStopped() const override {
        return m_player->playbackState() == QMediaPlayer::StoppedState;
    }
    qint64 DurationMs() const override {
        return m_player->duration() > 0 ? m_player->duration() : -1;
    }

private:
    QMediaPlayer* m_player;
    QAudioOutput* m_audio;
    QUrl m_source;
};

} // namespace

SirenPlayer* SirenPlayer::Create(QObject* parent) {
    return new MediaSirenPlayer(parent);
}
