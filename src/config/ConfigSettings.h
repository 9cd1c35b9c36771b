#pragma once

#include "Command.h"
#include "ConfigWriteFrame.h"
#include "DetectorConfig.h"

#include <QList>
#include <QString>

#include <cstdint>

// A configuration as its settings, each named as the window labels it
// (channel and control, "Radar threshold", "Out #1 Time AND", "Led ON"). The
// reserved bytes, the pad bytes and the flag bits that no check box shows
// are not settings: they are never written from a record.

// A setting whose value the window's controls would not take as it stands.
struct RefusedSetting {
    QString setting;
    QString value;   // as the record holds it
    QString accepts; // what the control takes
};

// The settings of `config` that the controls would clamp or round when a
// file holding it is loaded (lens lists back at "User"): a value outside its
// control's range, a Time AND that is not whole seconds within its bar, a
// function code above the last item. Empty when the write built from the
// controls carries every setting exactly as `config` holds it.
QList<RefusedSetting> SettingsTheControlsWouldChange(const DetectorConfig& config);

// One line of text per refused setting: "Radar threshold 600 (the control takes 10 to 500)".
QString DescribeRefusals(const QList<RefusedSetting>& refused);

struct SettingDifference {
    QString setting;
    QString first;
    QString second;
};
// The settings in which `first` and `second` differ, in the window's order.
QList<SettingDifference> CompareSettings(const DetectorConfig& first, const DetectorConfig& second);

// What the controls hold after showing `config` that fits them (see above).
ConfigControlValues ControlValuesShowing(const DetectorConfig& config);

// The write the window builds after loading a file holding `config`, which
// must fit the controls; `extraFlags` carries the store request.
Command::ConfigWriteFrame LoadedConfigWriteFrame(const DetectorConfig& config,
                                                 std::uint16_t extraFlags = 0);

// The range of each control that shows a number, as the window's form has it
// (the PIR ranges as the lens list "User" sets them).
struct ControlRange {
    int Min;
    int Max;
};
struct ConfigControlRanges {
    ControlRange TRange[DetectorConfig::ChannelCount];
    ControlRange Tconv[DetectorConfig::ChannelCount];
    ControlRange Nconv[DetectorConfig::ChannelCount];
    ControlRange NPulse;
    ControlRange PwmDc;
    ControlRange PwmFq;
    ControlRange TimeAndSeconds[DetectorConfig::OutputCount];
};
const ConfigControlRanges& LoadedControlRanges();
