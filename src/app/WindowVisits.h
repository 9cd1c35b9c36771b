#pragma once

#include "SiteBook.h"
#include "VisitRecorder.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class ConfigView;
class LinkController;
class PanelStatusBar;
class TFormCom;
struct WalkEvent;

// The window's visits in the site book: from Connect to Disconnect, a link
// failure or Exit, with the configuration found and left, each write, the
// store read back, the event log and a report. Names the site and detector
// on the status bar, and says at once when a named detector holds other
// settings than its last visit left.
class WindowVisits : public QObject {
    Q_OBJECT
public:
    WindowVisits(const SiteBookLocation& location, LinkController& link, ConfigView& config,
                 TFormCom& formCom, PanelStatusBar& statusBar, QObject* parent = nullptr);
    ~WindowVisits() override;

    // The status bar panel that shows the names.
    static constexpr int NamesPanel = 1;

    // Disconnect or Exit was chosen: the visit that ends next ends well.
    void EndingByChoice() { m_endingByChoice = true; }
    // Each configuration the window shows: the first is what was found.
    void ConfigShown();
    void EventLogRead(const std::uint8_t* payload220);
    void ReportWritten(const QString& path);
    void WalkEventFinished(const WalkEvent& event);

    SiteBook& Book() { return *m_book; }
    const VisitRecorder& Recorder() const { return m_recorder; }

    // The first failure of the book, once; and the news that the detector
    // changed since its last visit, with the settings both ways. Tests
    // replace them.
    std::function<void(const QString& text)> ShowFailure;
    std::function<void(const QString& text, const QString& details)> ShowChanged;
    // A visit the site book's server could not take, kept on this computer.
    std::function<void(const QString& reason)> ShowKeptLocally;

private:
    void Begin();
    void WriteSent();
    void LinkStateChanged();
    void NamesChanged();
    void RefreshSuggestions();

    LinkController& m_link;
    ConfigView& m_config;
    TFormCom& m_formCom;
    PanelStatusBar& m_status;
    std::unique_ptr<SiteBook> m_book;
    VisitRecorder m_recorder;
    // What the last visit of the named detector left, looked up at Connect.
    std::optional<Visit> m_previous;
    bool m_endingByChoice = false;
};

// "Changed since 2026-03-02 14:10 (3 settings)", in local time.
QString ChangedSinceText(const QDateTime& previousEnd, int settings);
