#include "LiveView.h"

#include "BarPosition.h"
#include "DetectorConfig.h"
#include "FindControl.h"
#include "GraphDrawing.h"
#include "GraphFeed.h"
#include "GraphImage.h"
#include "LiveAnnouncements.h"
#include "NoiseReductionMode.h"
#include "NumberText.h"
#include "Shape.h"
#include "Siren.h"
#include "TGraphics.h"
#include "TrackBar.h"

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>

#include <algorithm>
#include <cstring>

const QColor LiveView::Gray{128, 128, 128};
const QColor LiveView::Lime{0, 255, 0};
const QColor LiveView::Maroon{128, 0, 0};
const QColor LiveView::Red{255, 0, 0};

namespace {

// The range mark: the slider's axis is inverted, so a band from the
// maximum down to maximum - level stands for a bar of height `level`.
void RangeMark(TrackBar* bar, std::uint16_t level) {
    bar->setSelStart(bar->maximum() - level);
}

} // namespace

LiveView::LiveView(QWidget* form, TGraphics& graph, const DetectorConfig& config)
    : QObject(form), m_graph(graph), m_config(config), m_siren(new Siren(this)) {
    setObjectName(QStringLiteral("LiveView"));
    m_level[0] = FindControl<QProgressBar>(form, "ProgressBar1");
    m_level[1] = FindControl<QProgressBar>(form, "ProgressBar2");
    m_level[2] = FindControl<QProgressBar>(form, "ProgressBar3");
    m_range[0] = FindControl<TrackBar>(form, "TrackBar_MW_TRange");
    m_range[1] = FindControl<TrackBar>(form, "TrackBar_PIR1_TRange");
    m_range[2] = FindControl<TrackBar>(form, "TrackBar_PIR2_TRange");
    m_mask = FindControl<QProgressBar>(form, "ProgressBar_Mask");
    m_acc1 = FindControl<QProgressBar>(form, "ProgressBar_Acc1");
    m_acc1Noise = FindControl<QProgressBar>(form, "ProgressBar_Acc1Noise");
    m_acc2 = FindControl<QProgressBar>(form, "ProgressBar_Acc2");
    m_acc2Noise = FindControl<QProgressBar>(form, "ProgressBar_Acc2Noise");
    m_noisePir1 = FindControl<QCheckBox>(form, "CheckBox_NOISE_PIR1");
    m_noisePir2 = FindControl<QCheckBox>(form, "CheckBox_NOISE_PIR2");
    m_tempComp = FindControl<QCheckBox>(form, "CheckBox_EN_TempComp");
    m_temperatureBar = FindControl<QProgressBar>(form, "ProgressBar_Temperatura");
    m_temperatureText = FindControl<QLabel>(form, "Label13");
    const char* const lamps[] = {"Shape_Mw",           "Shape_Pir1",       "Shape_Pir2",
                                 "Shape_Acc1",         "Shape_Acc2",       "Shape_Acc1Noise",
                                 "Shape_Acc2Noise",    "Shape_OutTamper",  "Shape_DiagnosticOn",
                                 "Shape_LedPowerFail", "Shape_LedMwFault", "Shape_LedPir1Fault",
                                 "Shape_LedPir2Fault", "Shape_LedCPUFault"};
    for (std::size_t i = 0; i < m_lamps.size(); ++i)
        m_lamps[i] = FindControl<Shape>(form, lamps[i]);
    m_outputs = {FindControl<Shape>(form, "Shape_Out1State"),
                 FindControl<Shape>(form, "Shape_Out2State"),
                 FindControl<Shape>(form, "Shape_Out3State")};
    m_accText = {FindControl<QLabel>(form, "Label_Acc_X"), FindControl<QLabel>(form, "Label_Acc_Y"),
                 FindControl<QLabel>(form, "Label_Acc_Z")};
    m_accBar = {FindControl<QProgressBar>(form, "ProgressBar_acc_X"),
                FindControl<QProgressBar>(form, "ProgressBar_acc_Y"),
                FindControl<QProgressBar>(form, "ProgressBar_acc_Z")};
    // Their texts change with nearly every status; bars are live readouts anyway.
    // A label that may change size asks its parent to lay out again with each
    // new text (an event posted, and the event loop woken, per label and
    // status); these keep the place and size the form gives them.
    for (QLabel* text : {m_temperatureText, m_accText[0], m_accText[1], m_accText[2]}) {
        MarkLiveReadout(text);
        text->setFixedSize(text->size());
    }
}

LiveView::~LiveView() = default;

void LiveView::ShowStale() {
    if (!m_stale)
        SetReadoutsLive(false);
}

void LiveView::SetReadoutsLive(bool live) {
    m_stale = !live;
    QWidget* const readouts[] = {m_level[0],       m_level[1],        m_level[2],       m_mask,
                                 m_acc1,           m_acc1Noise,       m_acc2,           m_acc2Noise,
                                 m_temperatureBar, m_temperatureText, m_graph.imgScreen};
    for (QWidget* w : readouts)
        w->setEnabled(live);
    // The range bands sit on the threshold sliders, which the configuration
    // side enables; they grey with them.
    for (Shape* lamp : m_lamps)
        lamp->setEnabled(live);
    for (Shape* lamp : m_outputs)
        lamp->setEnabled(live);
    for (int i = 0; i < 3; ++i) {
        m_accText[i]->setEnabled(live);
        m_accBar[i]->setEnabled(live);
    }
}

void LiveView::LiveStatusReport(const std::uint8_t* payload58) {
    if (m_stale)
        SetReadoutsLive(true);
    std::memcpy(m_status.Bytes.data(), payload58, LiveStatus::Size);
    UnpackFlags(m_status.DetectFlags(), m_detect);
    UnpackFlags(m_status.DeviceFlags(), m_device);
    ApplyLiveStatus();
}

void LiveView::ApplyLiveStatus() {
    const LiveStatus& s = m_status;
    TGraphics& g = m_graph;
    // The graph may have become narrower since the last status: its arrays
    // were rebuilt, so the sweep starts again at the left edge.
    if (m_pointIndex >= g.PointCount || m_pointIndex < 0)
        m_pointIndex = 0;

    // 1-14: the graph's points, then the bars, marks and noise boxes of the
    // three channels.
    const bool direct = g.DirectConvert();
    FeedGraph({&g.Ch1Points, &g.Ch2Points, &g.Ch3Points, &g.Ch4Points, &g.Ch5Points, &g.Ch6Points},
              m_pointIndex, s, direct);
    RangeMark(m_range[0], s.MwRangeLevel());
    SetBarPosition(m_level[0], direct ? s.MwDirectLevel() : s.MwLevel());
    SetBarPosition(m_mask, s.MaskLevel());

    RangeMark(m_range[1], s.Pir1RangeLevel());
    SetBarPosition(m_level[1], direct ? s.Pir1DirectLevel() : s.Pir1Level());
    SetBarPosition(m_acc1, s.Acc1Level());
    SetBarPosition(m_acc1Noise, s.Acc1Noise());
    // A change runs the box's own handler, which writes the new state to the
    // detector; an unchanged state runs nothing.
    m_noisePir1->setChecked(m_device[DeviceFlag::NoisePir1]);

    RangeMark(m_range[2], s.Pir2RangeLevel());
    SetBarPosition(m_level[2], direct ? s.Pir2DirectLevel() : s.Pir2Level());
    SetBarPosition(m_acc2, s.Acc2Level());
    SetBarPosition(m_acc2Noise, s.Acc2Noise());
    m_noisePir2->setChecked(m_device[DeviceFlag::NoisePir2]);

    // 15-16: redraw and label the newest points.
    // Only where the picture no longer matches: a status moves one point.
    const QRegion stale = g.StaleArea();
    ::BeamData(g.Ch1Points, g.Ch2Points, g.Ch3Points, g.Ch4Points, g.Ch5Points, g.Ch6Points,
               g.Screen(), g.Image2, stale);
    QRegion labelled;
    std::array<TraceLabel, 3> labels;
    if (m_pointIndex < g.PointCount &&
        NewestPointLabels(g.Ch1Points, g.Ch2Points, g.Ch3Points, m_pointIndex, labels))
        labelled = DrawTraceLabels(g.Screen(), labels.data(), static_cast<int>(labels.size()));
    g.ShowRedrawn(stale, labelled);

    // 17: temperature, shown only while the detector compensates for it.
    m_temperatureText->setText(TemperatureText(s.Temperature(), m_tempComp->isChecked()));
    SetBarPosition(m_temperatureBar,
                   m_tempComp->isChecked() ? s.Temperature() : m_temperatureBar->minimum());

    // 18: with temperature compensation the detector chooses the PIR noise
    // reduction itself, so the boxes only show its choice.
    ApplyNoiseReductionMode(m_noisePir1, m_noisePir2, m_config.ConfigFlags());

    // 19: detection and fault lamps.
    const auto lit = [](bool on, const QColor& colour) { return on ? colour : Gray; };
    const FlagSet& d = m_detect;
    const FlagSet& v = m_device;
    m_lamps[0]->setBrushColor(lit(d[DetectFlag::Mw], Lime));
    m_lamps[1]->setBrushColor(lit(d[DetectFlag::Pir1], Maroon));
    m_lamps[2]->setBrushColor(lit(d[DetectFlag::Pir2], Maroon));
    m_lamps[3]->setBrushColor(lit(d[DetectFlag::Acc1], Maroon));
    m_lamps[4]->setBrushColor(lit(d[DetectFlag::Acc2], Maroon));
    m_lamps[5]->setBrushColor(lit(d[DetectFlag::Acc1Noise], Maroon));
    m_lamps[6]->setBrushColor(lit(d[DetectFlag::Acc2Noise], Maroon));
    m_lamps[7]->setBrushColor(lit(d[DetectFlag::Tamper], Maroon));
    m_lamps[8]->setBrushColor(
        v[DeviceFlag::DiagnosticOn] ? Red : m_lamps[8]->palette().color(QPalette::Button));
    m_lamps[9]->setBrushColor(lit(v[DeviceFlag::PowerFail], Maroon));
    m_lamps[10]->setBrushColor(lit(v[DeviceFlag::MwFault], Maroon));
    m_lamps[11]->setBrushColor(lit(v[DeviceFlag::Pir1Fault], Maroon));
    m_lamps[12]->setBrushColor(lit(v[DeviceFlag::Pir2Fault], Maroon));
    m_lamps[13]->setBrushColor(lit(v[DeviceFlag::CpuFault], Maroon));

    // 20: output lamps.
    m_outputs[0]->setBrushColor(lit(v[DeviceFlag::Out1], Red));
    m_outputs[1]->setBrushColor(lit(v[DeviceFlag::Out2], Red));
    m_outputs[2]->setBrushColor(lit(v[DeviceFlag::Out3], Red));

    // 21: alarm sound, one playback at a time.
    if (AlarmActive(d, v) && !m_siren->SirenPlaying())
        m_siren->StartSiren();

    // 22: the sweep moves one column and wraps at the right edge.
    ++m_pointIndex;
    if (m_pointIndex >= g.PointCount)
        m_pointIndex = 0;

    // 23: tamper readouts.
    const std::int8_t acc[3] = {s.AccX(), s.AccY(), s.AccZ()};
    for (int i = 0; i < 3; ++i) {
        m_accText[i]->setText(QString::number(acc[i]));
        SetBarPosition(m_accBar[i], acc[i]);
    }
}
