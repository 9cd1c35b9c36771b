#include "EventRecord.h"

#include "NumberText.h"

#include <cstring>

void ConvertEventWords(EventBuffer& buffer) {
    for (int r = 0; r < EventRecordCount; ++r) {
        for (int w = 1; w < 11; ++w) {
            std::uint8_t* word = &buffer[static_cast<std::size_t>(r * EventRecord::Size + 2 * w)];
            const auto value = static_cast<std::uint16_t>((word[0] << 8) | word[1]);
            std::memcpy(word, &value, sizeof value);
        }
    }
}

EventRecord ReadEventRecord(const EventBuffer& buffer, int index) {
    const std::uint8_t* at = &buffer[static_cast<std::size_t>(index * EventRecord::Size)];
    std::uint16_t words[11];
    std::memcpy(words, at, sizeof words);
    EventRecord r;
    r.EventFlags = static_cast<std::uint16_t>(at[0] | (at[1] << 8)); // low byte first
    r.MaxMw = words[1];
    r.MaxPirAbove = words[2];
    r.MaxPirUnder = words[3];
    r.MaxMask1 = words[4];
    r.MaxMask2 = words[5];
    r.NoiseIr1 = words[6];
    r.NoiseIr2 = words[7];
    r.Ntc = static_cast<std::int16_t>(words[8]);
    r.AuxValue = words[9];
    r.Reserved = words[10];
    return r;
}

QString EventTypeText(std::uint16_t eventFlags) {
    static const char* const texts[16] = {"MW",      "UP PIR",      "DOWN PIR",      "MASK",
                                          "BL 1",    "BL 2",        "Gen Alarm",     "Bs On",
                                          "TAMPER",  "Fail Lis302", "NTC",           "LowPower",
                                          "Fail Mw", "Fail UP PIR", "Fail DOWN PIR", "---"};
    for (int n = 0; n < 16; ++n)
        if (eventFlags & (1u << n))
            return QString::fromLatin1(texts[n]);
    return {};
}

std::array<QString, 9> EventRowTexts(const EventRecord& r) {
    return {
        EventTypeText(r.EventFlags),    QString::number(r.MaxMw),    QString::number(r.MaxPirAbove),
        QString::number(r.MaxPirUnder), QString::number(r.MaxMask1), QString::number(r.MaxMask2),
        QString::number(r.NoiseIr1),    QString::number(r.NoiseIr2), CelsiusText(r.Ntc)};
}

std::array<QString, 9> EventColumnTitles() {
    return {QStringLiteral("ALLARM"),        QStringLiteral("Max MW"),
            QStringLiteral("Max Pir ABOVE"), QStringLiteral("Max Pir UNDER"),
            QStringLiteral("Max Mask 1"),    QStringLiteral("Max Mask 2"),
            QStringLiteral("Noise Ir 1"),    QStringLiteral("Noise Ir 2"),
            QStringLiteral("Ntc:")};
}
