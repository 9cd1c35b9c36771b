#pragma once

#include <QObject>
#include <QTemporaryDir>

class SirenPlayer;

// The walk test's sound per event: a short two-tone chime, unlike the siren,
// so that the installer out in the field hears each pass without mistaking it
// for an alarm. Written once into a temporary folder and played through the
// platform's player.
class WalkChime : public QObject {
    Q_OBJECT
public:
    explicit WalkChime(QObject* parent = nullptr);

    // Starts the chime again from its beginning; nothing without a player.
    void Play();
    bool Available() const { return m_available; }
    int Plays() const { return m_plays; }

    // The chime as a WAV file: 16-bit mono PCM.
    static QByteArray ChimeWav();

private:
    QTemporaryDir m_dir;
    SirenPlayer* m_player;
    bool m_available = false;
    int m_plays = 0;
};
