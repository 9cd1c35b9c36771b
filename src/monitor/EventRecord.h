#pragma once

#include <QString>

#include <array>
#include <cstdint>

// One record of the detector's event log: 11 words. Word 0 is a flag word
// sent low byte first; words 1..10 are sent high byte first.
struct EventRecord {
    static constexpr int Size = 22;
    std::uint16_t EventFlags = 0;
    std::uint16_t MaxMw = 0;
    std::uint16_t MaxPirAbove = 0;
    std::uint16_t MaxPirUnder = 0;
    std::uint16_t MaxMask1 = 0;
    std::uint16_t MaxMask2 = 0;
    std::uint16_t NoiseIr1 = 0;
    std::uint16_t NoiseIr2 = 0;
    std::int16_t Ntc = 0; // whole degrees Celsius
    std::uint16_t AuxValue = 0;
    std::uint16_t Reserved = 0;
};

// Report 12 carries ten records.
inline constexpr int EventRecordCount = 10;
using EventBuffer = std::array<std::uint8_t, EventRecordCount * EventRecord::Size>;

// Converts words 1..10 of every record from high byte first to the machine's
// order, in place; the flag words stay as received.
void ConvertEventWords(EventBuffer& buffer);

// Record `index` of a buffer that ConvertEventWords has been run on.
EventRecord ReadEventRecord(const EventBuffer& buffer, int index);

// Text of the lowest set flag ("MW" for flag 0 ... "---" for flag 15); empty
// when no flag is set.
QString EventTypeText(std::uint16_t eventFlags);

// Titles of the table columns 1..9, "ALLARM" .. "Ntc:".
std::array<QString, 9> EventColumnTitles();

// Texts of the table columns 1..9 for one record: event type, the seven
// unsigned maxima and noise values, the temperature with "°C".
std::array<QString, 9> EventRowTexts(const EventRecord& record);
