#pragma once

#include "DetectorConfig.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

// The words the configuration controls are shown with: captions, item lists
// and the texts of the labels beside them. The main window takes its texts
// from here, and so does every document that describes a configuration, so
// the two always say the same thing.

// Captions of the three channel panels, MW first.
QString ChannelCaption(int channel);

// Item lists of the output function groups ("AND" .. "AUTO TEST"), of the
// NC/NO groups and of the lens lists.
QStringList FunctionItemTexts();
QStringList ContactItemTexts();
QStringList LensItemTexts();

// The item a function group shows for `code`: codes past the last item show
// the last one, as the group does.
QString FunctionText(int code);
// "NO" when the output's normally-open bit is set, else "NC".
QString ContactText(std::uint8_t outFlags);

// Captions of the output technology boxes, MW, high PIR, low PIR.
inline constexpr std::uint8_t OutTechnologyBits[] = {OutMw, OutPir1, OutPir2};
QString TechnologyCaption(std::uint8_t bit);

// One check box of the SETUP group that shows a ConfigFlags bit.
struct FlagBoxText {
    const char* ObjectName;
    std::uint16_t Bit;
    QString Caption; // as the window shows it before any record
    bool Visible;    // the MW mask box is kept hidden
};
// "Enable/Disable" boxes, then "Noise reduction" boxes, in the window's order.
const std::vector<FlagBoxText>& EnableFlagBoxes();
const std::vector<FlagBoxText>& NoiseFlagBoxes();

// Caption of a flag box once a record with `configFlags` is shown: with
// temperature compensation the detector switches PIR noise reduction itself,
// and the two PIR boxes say so.
QString FlagCaption(const FlagBoxText& box, std::uint16_t configFlags);
QString NoisePir1Caption(std::uint16_t configFlags);
QString NoisePir2Caption(std::uint16_t configFlags);

// The Time AND the detector holds, in seconds with as many decimals as it
// needs ("10 sec.", "2.5 sec."): what a document states, where the bar would
// round and clamp.
QString TimeAndHeldText(std::uint16_t milliseconds);
// The label under the bar: "3 sec.".
QString TimeAndText(int seconds);
