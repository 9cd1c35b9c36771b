#pragma once

#include "LiveStatus.h"

#include <QColor>
#include <QObject>

#include <array>
#include <cstdint>

class QCheckBox;
class QLabel;
class QProgressBar;
class QWidget;
class Shape;
class Siren;
class TGraphics;
class TrackBar;
struct DetectorConfig;

// Shows each live status on the VIEW page of the main form, feeds the signal
// graph one point per trace and starts the alarm sound. The controls are
// found by name on the form given at construction.
class LiveView : public QObject {
    Q_OBJECT
public:
    // Throws std::logic_error when a control is missing from `form`.
    LiveView(QWidget* form, TGraphics& graph, const DetectorConfig& config);
    ~LiveView() override;

    // Receipt of report 8: stores the 58 payload bytes, unpacks the two flag
    // words and shows the status.
    void LiveStatusReport(const std::uint8_t* payload58);
    // Shows the stored status (the steps are in the definition, in order).
    void ApplyLiveStatus();
    // The link is down: every readout looks greyed, so that the last status
    // never passes for a live one. The next status brings them back.
    void ShowStale();
    bool Stale() const { return m_stale; }

    // The main window was shown: the graph starts again at its left edge.
    void ResetPointIndex() { m_pointIndex = 0; }

    const LiveStatus& Status() const { return m_status; }
    const FlagSet& DetectFlags() const { return m_detect; }
    const FlagSet& DeviceFlags() const { return m_device; }
    // Index of the graph point that the next status writes.
    int PointIndex() const { return m_pointIndex; }
    Siren& AlarmSound() { return *m_siren; }

    static const QColor Gray;
    static const QColor Lime;
    static const QColor Maroon;
    static const QColor Red;

private:
    bool PointInside(std::size_t count) const;
    void SetReadoutsLive(bool live);

    TGraphics& m_graph;
    const DetectorConfig& m_config;
    Siren* m_siren;

    LiveStatus m_status;
    FlagSet m_detect{};
    FlagSet m_device{};
    int m_pointIndex = 0;
    bool m_stale = false;

    QProgressBar* m_level[3];
    TrackBar* m_range[3];
    QProgressBar* m_mask;
    QProgressBar* m_acc1;
    QProgressBar* m_acc1Noise;
    QProgressBar* m_acc2;
    QProgressBar* m_acc2Noise;
    QCheckBox* m_noisePir1;
    QCheckBox* m_noisePir2;
    QCheckBox* m_tempComp;
    QProgressBar* m_temperatureBar;
    QLabel* m_temperatureText;
    std::array<Shape*, 14> m_lamps; // in the order they are set
    std::array<Shape*, 3> m_outputs;
    std::array<QLabel*, 3> m_accText;
    std::array<QProgressBar*, 3> m_accBar;
};
