#pragma once

#include "WalkTest.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QTimer;
class Siren;
class WalkChime;

namespace Ui {
class TFormWalkTest;
}

// The Walk Test window: Start, Stop and Clear, one row per event as it
// happens, kept until Clear, the row of a flag that is still set lit, the
// count per name and the time since Start above them, in type large enough
// to read from a few metres. Fed with every live status the main window
// receives; it draws only the rows a status changed.
class TFormWalkTest : public QWidget {
    Q_OBJECT
public:
    // `siren` is the alarm sound, whose mute also silences the chime.
    explicit TFormWalkTest(const Siren& siren, QWidget* parent = nullptr);
    ~TFormWalkTest() override;

    // Whether live statuses can come: Start is offered only then.
    void SetLinkUp(bool up);
    // One live status, with the graph's "Direct Convert" choice.
    void LiveStatusReport(const LiveStatus& status, bool direct);
    // The link failed: the walk test stops and keeps its rows, marked with
    // the time the link was lost.
    void LinkLost();

    void Button_StartClick();
    void Button_StopClick();
    void Button_ClearClick();
    void Button_ExportCsvClick();
    // Writes the rows to `path`; a failure is shown with the path and reason.
    bool ExportCsv(const QString& path);

    const WalkTest& Test() const { return m_test; }
    // Told of each row once it is final (its flag cleared, or Stop or a lost
    // link ended it while set).
    void OnEventFinished(std::function<void(const WalkEvent&)> told) {
        m_test.EventFinished = std::move(told);
    }
    WalkChime& Chime() { return *m_chime; }

    // The clock (ms since 1970), the save dialog and the message box; tests
    // replace them.
    std::function<std::int64_t()> Now;
    std::function<QString()> ChooseFile;
    std::function<void(const QString&)> ShowMessage;

    // Background of the row of a flag that is set now.
    static const QColor SetColour;
    // The peaks of a row that is set rise with almost every status; they are
    // shown at most this often, and when the row ends.
    static constexpr int PeaksEveryMs = 250;

private:
    void AppendRows(int count);
    void RefreshOpenRows();
    void ShowRow(int row);
    void ShowElapsed();
    void ShowState();
    void UpdateButtons();

    std::unique_ptr<Ui::TFormWalkTest> ui;
    const Siren& m_siren;
    WalkChime* m_chime;
    QTimer* m_clock;
    WalkTest m_test;
    bool m_linkUp = false;
    std::vector<int> m_litRows; // rows shown lit
    std::int64_t m_peaksShownMs = 0;
};
