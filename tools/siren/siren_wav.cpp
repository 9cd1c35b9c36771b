// Writes the alarm sound: a short rising and falling wail as a 16-bit mono
// PCM WAV file. Made at build time so that the program ships a sound of its
// own and no recording has to be kept in the repository.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <vector>

namespace {

constexpr int SampleRate = 22050;
constexpr double Seconds = 1.2;
constexpr double SweepSeconds = 0.6; // one rise and fall
constexpr double LowHz = 650.0;
constexpr double HighHz = 1350.0;
constexpr double Amplitude = 0.6 * 32767;
constexpr double FadeSeconds = 0.02; // no click at either end

void Put16(std::vector<char>& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

void Put32(std::vector<char>& out, std::uint32_t v) {
    Put16(out, static_cast<std::uint16_t>(v & 0xFFFF));
    Put16(out, static_cast<std::uint16_t>(v >> 16));
}

void PutTag(std::vector<char>& out, const char* tag) {
    out.insert(out.end(), tag, tag + 4);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.WAV\n", argv[0]);
        return 2;
    }
    const int samples = static_cast<int>(SampleRate * Seconds);
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(samples) * 2;

    std::vector<char> wav;
    wav.reserve(44 + dataBytes);
    PutTag(wav, "RIFF");
    Put32(wav, 36 + dataBytes);
    PutTag(wav, "WAVE");
    PutTag(wav, "fmt ");
    Put32(wav, 16);             // format chunk size
    Put16(wav, 1);              // PCM
    Put16(wav, 1);              // mono
    Put32(wav, SampleRate);     // samples per second
    Put32(wav, SampleRate * 2); // bytes per second
    Put16(wav, 2);              // bytes per sample frame
    Put16(wav, 16);             // bits per sample
    PutTag(wav, "data");
    Put32(wav, dataBytes);

    double phase = 0.0;
    for (int n = 0; n < samples; ++n) {
        const double t = static_cast<double>(n) / SampleRate;
        // Triangle sweep of the pitch between the two frequencies.
        const double s = std::fmod(t, SweepSeconds) / SweepSeconds;
        const double sweep = s < 0.5 ? 2 * s : 2 - 2 * s;
        const double hz = LowHz + (HighHz - LowHz) * sweep;
        phase += 2 * std::numbers::pi * hz / SampleRate;
        const double fade = std::min({1.0, t / FadeSeconds, (Seconds - t) / FadeSeconds});
        const auto v = static_cast<std::int16_t>(std::lrint(Amplitude * fade * std::sin(phase)));
        Put16(wav, static_cast<std::uint16_t>(v));
    }

    std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
    file.write(wav.data(), static_cast<std::streamsize>(wav.size()));
    file.close();
    if (!file) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
