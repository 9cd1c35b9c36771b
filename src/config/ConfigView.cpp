#include "ConfigView.h"

#include "ConfigLink.h"
#include "FindControl.h"
#include "RadioGroup.h"
#include "TrackBar.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QWidget>

#include <iterator>
#include <stdexcept>
#include <utility>

namespace {

template <class T> T* Find(const QWidget* form, const QString& name) {
    return FindControl<T>(form, name.toLatin1().constData());
}

// The track bars carry the channel in capitals, every other control of a
// channel in mixed case.
constexpr const char* TrackBarChannel[] = {"MW", "PIR1", "PIR2"};
constexpr const char* ControlChannel[] = {"MW", "Pir1", "Pir2"};

} // namespace

ConfigView::ConfigView(QWidget* form, ConfigLink& link, QObject* parent)
    : QObject(parent), m_form(form), m_link(link) {
    ShowMessage = [this](const QString& text) { DefaultShowMessage(text); };
    ChooseFile = [this](FileDialogKind kind) { return DefaultChooseFile(kind); };
    ConfirmOverwrite = [this](const QString& path) { return DefaultConfirmOverwrite(path); };
    BindControls();
    ConnectHandlers();
    SetRecordKnown(false);
}

void ConfigView::BindControls() {
    for (int ch = 0; ch < DetectorConfig::ChannelCount; ++ch) {
        const QString tb = QString::fromLatin1(TrackBarChannel[ch]);
        const QString c = QString::fromLatin1(ControlChannel[ch]);
        m_channels[ch] = {Find<TrackBar>(m_form, "TrackBar_" + tb + "_TRange"),
                          Find<QScrollBar>(m_form, "ScrollBar_" + c + "_Tconv"),
                          Find<QScrollBar>(m_form, "ScrollBar_" + c + "_Nconv"),
                          Find<QScrollBar>(m_form, "ScrollBar_" + c + "_NPulse"),
                          Find<QLabel>(m_form, "Label_" + c + "_TRange"),
                          Find<QLabel>(m_form, "Label_" + c + "_Tconv"),
                          Find<QLabel>(m_form, "Label_" + c + "_Nconv"),
                          Find<QLabel>(m_form, "Label_" + c + "_NPulse")};
    }
    for (int out = 0; out < DetectorConfig::OutputCount; ++out) {
        const QString n = QString::number(out + 1);
        m_outputs[out] = {Find<QCheckBox>(m_form, "CheckBox_Out" + n + "Enable"),
                          Find<QCheckBox>(m_form, "CheckBox_Out" + n + "Mw"),
                          Find<QCheckBox>(m_form, "CheckBox_Out" + n + "Pir1"),
                          Find<QCheckBox>(m_form, "CheckBox_Out" + n + "Pir2"),
                          Find<RadioGroup>(m_form, "RadioGroup_FuncOut" + n),
                          Find<RadioGroup>(m_form, "RadioGroup_NCOut" + n),
                          Find<QScrollBar>(m_form, "ScrollBar_TimeAnd" + n),
                          Find<QLabel>(m_form, "Label_TimeAnd" + n)};
    }
    const std::pair<const char*, std::uint16_t> flagBoxes[] = {
        {"CheckBox_EN_MW", FlagEnMw},           {"CheckBox_EN_PIR1", FlagEnPir1},
        {"CheckBox_EN_PIR2", FlagEnPir2},       {"CheckBox_EN_MASK", FlagEnMask},
        {"CheckBox_EN_ACC", FlagEnAcc},         {"CheckBox_EN_TAMPER", FlagEnTamper},
        {"CheckBox_EN_TempComp", FlagTempComp}, {"CheckBox_EN_LED", FlagEnLed},
        {"CheckBox_NOISE_MW", FlagNoiseMw},     {"CheckBox_NOISE_PIR1", FlagNoisePir1},
        {"CheckBox_NOISE_PIR2", FlagNoisePir2}, {"CheckBox_AutoTest", FlagAutoTest}};
    static_assert(std::size(flagBoxes) == std::tuple_size_v<decltype(m_flagBoxes)>);
    for (std::size_t i = 0; i < m_flagBoxes.size(); ++i)
        m_flagBoxes[i] = {FindControl<QCheckBox>(m_form, flagBoxes[i].first), flagBoxes[i].second};
    m_tempComp = FindControl<QCheckBox>(m_form, "CheckBox_EN_TempComp");
    m_noisePir1 = FindControl<QCheckBox>(m_form, "CheckBox_NOISE_PIR1");
    m_noisePir2 = FindControl<QCheckBox>(m_form, "CheckBox_NOISE_PIR2");
    m_lensLists = {FindControl<QComboBox>(m_form, "ComboBox_Pir1_Lens"),
                   FindControl<QComboBox>(m_form, "ComboBox_Pir2_Lens")};
    m_pwmDc = FindControl<QScrollBar>(m_form, "ScrollBar_PWM_Dc");
    m_pwmFq = FindControl<QScrollBar>(m_form, "ScrollBar_PWM_Fq");
    m_pwmDcLabel = FindControl<QLabel>(m_form, "Label_PWM_Dc");
    m_pwmFqLabel = FindControl<QLabel>(m_form, "Label_PWM_Fq");
    m_fileOpen = FindControl<QAction>(m_form, "FileOpen1");
    m_fileSaveAs = FindControl<QAction>(m_form, "FileSaveAs1");
    m_storeToFlash = FindControl<QAction>(m_form, "Action4");

    // The channels' threshold, the rate, speed and pulse boxes and the lens
    // lists; the SETUP box's contents, leaving its scroll bar usable.
    // The threshold labels sit beside their sliders, outside the boxes, and
    // grey with them: the value they show is no longer what a detector holds.
    for (const ChannelControls& c : m_channels)
        m_controlContainers << c.TRange << c.TRangeLabel << c.Tconv->parentWidget()
                            << c.NPulse->parentWidget();
    for (QComboBox* lens : m_lensLists)
        m_controlContainers << lens;
    m_controlContainers << FindControl<QScrollArea>(m_form, "ScrollBox1")->widget();
}

// Every signal used here fires on program changes too (a position clamped by
// a new range included), so showing a record runs the same handlers as a
// user's change. Only the lens lists react to the user alone.
void ConfigView::ConnectHandlers() {
    for (const FlagBox& flag : m_flagBoxes)
        connect(flag.Box, &QCheckBox::toggled, this, [this] { QueueWrite(); });
    for (const ChannelControls& c : m_channels) {
        connect(c.TRange, &QAbstractSlider::valueChanged, this, [this] { QueueWrite(); });
        for (QScrollBar* bar : {c.Tconv, c.Nconv, c.NPulse})
            connect(bar, &QAbstractSlider::valueChanged, this, [this] { QueueWrite(); });
    }
    for (QScrollBar* bar : {m_pwmDc, m_pwmFq})
        connect(bar, &QAbstractSlider::valueChanged, this, [this] { QueueWrite(); });

    for (int out = 0; out < DetectorConfig::OutputCount; ++out) {
        const OutputControls& c = m_outputs[out];
        connect(c.Function, &RadioGroup::itemIndexChanged, this, [this] { QueueWrite(); });
        const std::pair<QCheckBox*, std::uint8_t> boxes[] = {
            {c.Enable, OutEnable}, {c.Mw, OutMw}, {c.Pir1, OutPir1}, {c.Pir2, OutPir2}};
        for (const auto& [box, bit] : boxes)
            connect(box, &QCheckBox::toggled, this,
                    [this, out, bit = bit](bool on) { OutputFlagClick(out, bit, on); });
        connect(c.NormallyOpen, &RadioGroup::itemIndexChanged, this,
                [this, out](int index) { OutputFlagClick(out, OutNormallyOpen, index != 0); });
        connect(c.TimeAnd, &QAbstractSlider::valueChanged, this,
                [this, out](int position) { ScrollBar_TimeAndChange(out, position); });
    }

    connect(m_lensLists[0], &QComboBox::activated, this, [this] { ComboBox_Pir1_LensChange(); });
    connect(m_lensLists[1], &QComboBox::activated, this, [this] { ComboBox_Pir2_LensChange(); });

    connect(m_fileOpen, &QAction::triggered, this, [this] { OpenDialogAccepted(); });
    connect(m_fileSaveAs, &QAction::triggered, this, [this] { SaveDialogAccepted(); });
    connect(m_storeToFlash, &QAction::triggered, this, [this] { Action4Execute(); });
}

QCheckBox* ConfigView::FlagCheckBox(std::uint16_t bit) const {
    for (const FlagBox& flag : m_flagBoxes)
        if (flag.Bit == bit)
            return flag.Box;
    throw std::logic_error("no check box for a configuration flag");
}

ConfigControlValues ConfigView::ControlValues() const {
    ConfigControlValues values;
    for (int ch = 0; ch < DetectorConfig::ChannelCount; ++ch) {
        const ChannelControls& c = m_channels[ch];
        values.Channels[ch] = {c.TRange->maximum() + c.TRange->minimum() - c.TRange->value(),
                               c.Tconv->value(), c.Nconv->value(), c.NPulse->value()};
    }
    values.PwmDc = m_pwmDc->value();
    values.PwmFq = m_pwmFq->value();
    for (const FlagBox& flag : m_flagBoxes)
        if (flag.Box->isChecked())
            values.CheckedFlags |= flag.Bit;
    for (int out = 0; out < DetectorConfig::OutputCount; ++out)
        values.Functions[out] = m_outputs[out].Function->itemIndex();
    return values;
}

void ConfigView::BuildConfigWriteFrame() {
    Command::LinkBuffers& buffers = m_link.Buffers();
    buffers.OutgoingFrame = MakeConfigWriteFrame(ControlValues(), m_config, m_extraFlags);
    if (m_extraFlags & FlagStoreToFlash)
        m_storeFrame = buffers.OutgoingFrame;
    m_unstored.WriteBuilt(!m_detectorEcho, (m_extraFlags & FlagStoreToFlash) != 0);
    // A store request rides on exactly one frame.
    m_extraFlags = 0;
    buffers.WritePending = true;
    emit ConfigWriteBuilt();
}

bool ConfigView::WritesAllowed() const {
    return m_link.PortOpen() && m_link.Buffers().ConfigShown;
}

void ConfigView::QueueWrite() {
    if (!WritesAllowed())
        return;
    BuildConfigWriteFrame();
    m_link.Buffers().RequestConfigRead();
}

void ConfigView::OutputFlagClick(int output, std::uint8_t bit, bool on) {
    if (!WritesAllowed())
        return;
    m_config.SetOutFlag(output, bit, on);
    QueueWrite();
}

void ConfigView::ScrollBar_TimeAndChange(int output, int position) {
    if (!WritesAllowed())
        return;
    m_config.SetTimeAnd(output, static_cast<std::uint16_t>(position * 1000));
    QueueWrite();
}
