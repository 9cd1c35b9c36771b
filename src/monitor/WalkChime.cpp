#include "WalkChime.h"

#include "SirenPlayer.h"

#include <QFile>
#include <QtEndian>

#include <cmath>
#include <numbers>

namespace {

constexpr int Rate = 22050;

void PutLe32(QByteArray& b, quint32 v) {
    char bytes[4];
    qToLittleEndian(v, bytes);
    b.append(bytes, 4);
}

void PutLe16(QByteArray& b, quint16 v) {
    char bytes[2];
    qToLittleEndian(v, bytes);
    b.append(bytes, 2);
}

} // namespace

QByteArray WalkChime::ChimeWav() {
    // Two short tones a fifth apart, each faded in and out so they do not click.
    const double tones[] = {1318.5, 1975.5};
    const int toneSamples = Rate * 90 / 1000;
    QByteArray pcm;
    for (double f : tones) {
        for (int i = 0; i < toneSamples; ++i) {
            const double t = double(i) / Rate;
            const double edge = std::min(1.0, std::min(i, toneSamples - i) / (Rate * 0.008));
            const double v = 0.5 * edge * std::sin(2 * std::numbers::pi * f * t);
            PutLe16(pcm, static_cast<quint16>(static_cast<qint16>(std::lrint(v * 32767))));
        }
    }
    QByteArray wav("RIFF");
    PutLe32(wav, static_cast<quint32>(36 + pcm.size()));
    wav.append("WAVEfmt ");
    PutLe32(wav, 16);
    PutLe16(wav, 1); // PCM
    PutLe16(wav, 1); // mono
    PutLe32(wav, Rate);
    PutLe32(wav, Rate * 2);
    PutLe16(wav, 2);
    PutLe16(wav, 16);
    wav.append("data");
    PutLe32(wav, static_cast<quint32>(pcm.size()));
    return wav + pcm;
}

WalkChime::WalkChime(QObject* parent) : QObject(parent), m_player(SirenPlayer::Create(this)) {
    if (!m_dir.isValid())
        return;
    const QString path = m_dir.filePath(QStringLiteral("chime.wav"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(ChimeWav()) < 0)
        return;
    file.close();
    m_player->SetSource(path);
    m_available = true;
}

void WalkChime::Play() {
    ++m_plays;
    if (!m_available || !m_player->IsAvailable())
        return;
    m_player->Stop();
    m_player->Play();
}
