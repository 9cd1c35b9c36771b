// Showing a received (or loaded) record and report 7 on the controls, and the
// lens presets.
#include "ConfigView.h"

#include "ConfigLink.h"
#include "ConfigReport.h"
#include "ConfigTexts.h"
#include "LensPresets.h"
#include "NoiseReductionMode.h"
#include "PwmLabels.h"
#include "RadioGroup.h"
#include "ScopeExit.h"
#include "TrackBar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QScrollBar>

#include <cmath>

void ConfigView::ConfigReport(const std::uint8_t* payload40) {
    // A lens chosen before this connection (perhaps on another detector)
    // would clamp this detector's settings, and the next write would carry
    // values nobody chose: the first record of a connection is shown on the
    // full ranges, as a loaded file is.
    if (m_lensesFromEarlierConnection) {
        m_lensesFromEarlierConnection = false;
        ResetLenses();
    }
    UnpackConfigReport(m_config, payload40);
    ApplyConfigRecord();
    SetRecordKnown(true);
    if (!m_unstored.ConfigurationShown())
        return;
    if (ReadBackMatchesStore()) {
        emit StoredToFlash();
        return;
    }
    m_unstored.StoreFailed();
    TellStoreFailed(QStringLiteral("the configuration the detector read back differs from the "
                                   "one sent to be stored."));
}

// The controls now show the read-back; had the detector kept what the store
// carried, they build that same frame again.
bool ConfigView::ReadBackMatchesStore() const {
    return MakeConfigWriteFrame(ControlValues(), m_config, FlagStoreToFlash) == m_storeFrame;
}

void ConfigView::ApplyConfigRecord() {
    // Setting the controls runs their handlers, which build write frames; the
    // poll timer is held so none of them goes out, and they are thrown away at
    // the end, whatever happens in between.
    const bool wasPolling = m_link.PollingActive();
    m_link.StopPolling();
    const ScopeExit resume([this, wasPolling] {
        m_link.Buffers().WritePending = false;
        m_unstored.WriteDiscarded();
        if (wasPolling)
            m_link.StartPolling();
    });

    for (int out = 0; out < DetectorConfig::OutputCount; ++out) {
        const OutputControls& c = m_outputs[out];
        // Whole seconds, halves to the even neighbour (2500 ms shows 2).
        c.TimeAnd->setValue(static_cast<int>(std::lrint(m_config.TimeAnd(out) / 1000.0)));
        c.TimeAndLabel->setText(TimeAndText(c.TimeAnd->value()));
    }
    for (int out = 0; out < DetectorConfig::OutputCount; ++out)
        m_outputs[out].Function->setItemIndex(m_config.Function(out)); // past the end: last
    ApplyOutputs();
    for (int out = 0; out < DetectorConfig::OutputCount; ++out)
        m_outputs[out].NormallyOpen->setItemIndex((m_config.OutFlags(out) & OutNormallyOpen) ? 1
                                                                                             : 0);
    ApplyChannels();
    ApplyPwm();

    const std::uint16_t flags = m_config.ConfigFlags();
    FlagCheckBox(FlagEnLed)->setChecked(flags & FlagEnLed);
    FlagCheckBox(FlagEnTamper)->setChecked(flags & FlagEnTamper);
    m_tempComp->setChecked(flags & FlagTempComp);
    ApplyNoiseReductionMode();
}

void ConfigView::ApplyOutputs() {
    for (int out = 0; out < DetectorConfig::OutputCount; ++out) {
        const OutputControls& c = m_outputs[out];
        const bool enabled = m_config.OutFlags(out) & OutEnable;
        c.Enable->setChecked(enabled);
        c.Function->setEnabled(enabled);
        c.NormallyOpen->setEnabled(enabled);
        // Mask and auto-test outputs do not combine technologies.
        const int function = c.Function->itemIndex();
        const bool technologies =
            enabled && function != FunctionMask && function != FunctionAutoTest;
        for (QCheckBox* tech : {c.Mw, c.Pir1, c.Pir2})
            tech->setEnabled(technologies);
        const std::uint8_t flags = m_config.OutFlags(out);
        c.Mw->setChecked(flags & OutMw);
        c.Pir1->setChecked(flags & OutPir1);
        c.Pir2->setChecked(flags & OutPir2);
    }
}

void ConfigView::ApplyChannels() {
    // The boxes that follow each channel, in the order they are shown.
    const std::uint16_t after[DetectorConfig::ChannelCount][3] = {
        {FlagEnMw, FlagNoiseMw, FlagEnMask},
        {FlagEnPir1, FlagNoisePir1, FlagEnAcc},
        {FlagEnPir2, FlagNoisePir2, FlagAutoTest}};
    for (int ch = 0; ch < DetectorConfig::ChannelCount; ++ch) {
        const ChannelControls& c = m_channels[ch];
        // The bar clamps; the labels show what the detector sent.
        const int range = m_config.TRange(ch);
        c.TRange->setValue(c.TRange->maximum() + c.TRange->minimum() - range);
        c.TRangeLabel->setText(QString::number(range));
        c.Tconv->setValue(m_config.Tconv(ch));
        c.TconvLabel->setText(QString::number(m_config.Tconv(ch)));
        c.Nconv->setValue(m_config.Nconv(ch));
        c.NconvLabel->setText(QString::number(m_config.Nconv(ch)));
        c.NPulse->setValue(m_config.NPulse(ch));
        c.NPulseLabel->setText(QString::number(m_config.NPulse(ch)));

        const std::uint16_t flags = m_config.ConfigFlags();
        for (std::uint16_t bit : after[ch])
            FlagCheckBox(bit)->setChecked(flags & bit);
    }
}

void ConfigView::ApplyPwm() {
    m_pwmDc->setValue(m_config.PwmDc());
    m_pwmDcLabel->setText(PwmDutyLabel(m_config.PwmDc()));
    m_pwmFq->setValue(m_config.PwmFq());
    m_pwmFqLabel->setText(PwmFrequencyLabel(m_config.PwmFq()));
}

void ConfigView::ApplyNoiseReductionMode() {
    ::ApplyNoiseReductionMode(m_noisePir1, m_noisePir2, m_config.ConfigFlags());
}

void ConfigView::ApplyPwmReport(const std::uint8_t* payload4) {
    const int duty = payload4[0] | (payload4[1] << 8);
    const int periodCount = payload4[2] | (payload4[3] << 8);
    // A position this moves is written back, but it is the detector's own
    // value, not a change of the user's.
    EchoDetectorState([&] {
        m_pwmDc->setValue(duty);
        m_pwmDcLabel->setText(QString::number(duty));
        m_pwmFq->setValue(periodCount);
        m_pwmFqLabel->setText(QString::number(periodCount));
    });
}

void ConfigView::ComboBox_Pir1_LensChange() {
    ApplyLens(0, m_lensLists[0]->currentIndex());
}

void ConfigView::ComboBox_Pir2_LensChange() {
    ApplyLens(1, m_lensLists[1]->currentIndex());
}

void ConfigView::ResetLenses() {
    // Widening moves no position, so this queues nothing.
    for (QComboBox* lens : m_lensLists)
        lens->setCurrentIndex(0);
    ComboBox_Pir1_LensChange();
    ComboBox_Pir2_LensChange();
}

void ConfigView::ApplyLens(int pir, int itemIndex) {
    const LensPreset* lens = FindLensPreset(itemIndex);
    if (!lens)
        return;
    const ChannelControls& c = m_channels[DetectorConfig::ChannelPir1 + pir];
    // Minimum first: each step clamps the position, and a moved position
    // writes the configuration like any other change.
    auto setRange = [](QAbstractSlider* control, SliderRange range) {
        control->setMinimum(range.Min);
        control->setMaximum(range.Max);
    };
    setRange(c.Tconv, lens->Tconv);
    setRange(c.Nconv, lens->Nconv);
    setRange(c.TRange, lens->TRange);
    if (!lens->MovesPositions)
        return;
    c.Tconv->setValue(lens->TconvPosition);
    c.Nconv->setValue(lens->NconvPosition);
    c.TRange->setValue(c.TRange->maximum() + c.TRange->minimum() - lens->TRangeValue);
}
