#pragma once

#include "Command.h"
#include "ConfigLink.h"
#include "FrameEvent.h"
#include "LinkAdvice.h"
#include "LinkEngine.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <array>
#include <exception>
#include <functional>

class QAction;
class PaintHold;
class QProgressBar;
class QTabWidget;
class QTimer;
class PanelStatusBar;
class ReportSink;
class TFormCom;

// Connection control and the poll cycle of the window: connects and
// disconnects, and on each tick of the poll timer lets the link engine send
// one request (or a pending configuration write) and class the answer, then
// hands accepted reports to the sink. Six unanswered requests in a row stop
// the poll and tell the user. The engine does the exchange; this class adds
// the timer, the messages, the error log and the window's controls.
//
// Everything runs on the user-interface thread; the receive blocks it for as
// long as the detector takes to answer, bounded by the dialog's time-out.
class LinkController : public QObject, public ConfigLink {
    Q_OBJECT
public:
    // The main window's controls that the link drives.
    struct Controls {
        QAction* Action2 = nullptr;    // Connect / Disconnect
        QAction* Action4 = nullptr;    // Store To Flash
        QAction* CommSetup1 = nullptr; // File menu item, enabled only while disconnected
        PanelStatusBar* StatusBar_form = nullptr;
        QProgressBar* ProgressBar_serial = nullptr;
        QTabWidget* PageControl1 = nullptr;
        QTimer* Timer2 = nullptr;
    };

    LinkController(const Controls& controls, TFormCom* formCom, ReportSink& sink,
                   QObject* parent = nullptr);
    ~LinkController() override;

    // Modal messages; tests replace this to see the text without blocking.
    std::function<void(const QString&)> ShowMessage;
    // Appends a record to the error log; `error` may be null. Returns an error
    // text when the log could not be written, empty on success.
    std::function<QString(const std::exception* error, const QString& text)> LogError;

    // Told of every frame the poll cycle sends and of every answer it reads.
    // Empty unless something listens, so it costs nothing by default.
    std::function<void(const FrameEvent&)> FrameObserver;

    void Action2Execute();
    // Port side of Exit: closes and releases the port, stops the poll.
    void ExitLinkSide();
    // Link side of showing the main window.
    void FormShowLinkSide();
    void PageControl1Change(int index);
    void Timer2Timer();

    // ConfigLink
    bool PortOpen() const override;
    Command::LinkBuffers& Buffers() override { return m_engine.Buffers(); }
    bool PollingActive() const override;
    void StopPolling() override;
    void StartPolling() override;

    // Connected display: a connection was made and has not been ended by
    // Disconnect, a link failure or Exit.
    bool IsConnected() const { return m_connected; }
    // Status bar panel that names the port while connected, and after a
    // failure the port that failed, until another port is chosen.
    static constexpr int PortPanel = 4;
    // The wide panel for passing news: reading the configuration, answers
    // that keep coming unusable, where a file went.
    static constexpr int NewsPanel = 1;

    const UnusableAnswers& Unusable() const { return m_unusable; }

    int RetryCount() const { return m_engine.RetryCount(); }
    bool HasPort() const { return m_engine.HasPort(); }
    TBlockSerial* Port() const { return m_engine.Port(); }
    const std::array<std::uint8_t, Command::Block10Length>& Report10Block() const {
        return m_engine.Report10Block();
    }

signals:
    // A connection was made: the first request asks for its configuration.
    void Connected();
    // Connected or not, or the configuration shown since Connect: what the
    // window's controls can do has changed.
    void StateChanged();
    // A configuration write went out to the detector.
    void ConfigWriteSent();

private:
    void SetConnected(bool connected, const QString& failedPort = QString());
    // The documented text, then a line with the port and what to check.
    void ShowFailure(const QString& text, LinkFailureKind kind, int openError = 0);
    QString PortName() const;
    void ClassifyAnswer(const FrameEvent& event);
    void ShowUnusable();
    void Connect();
    void Disconnect();
    void ForgetConfiguration();
    void ShowReadingConfiguration(bool reading);
    void ConnectedDisplay();
    void DisconnectedDisplay();
    void AdvanceActivityBar();
    void TimeOutOutcome();
    void ReceiveExceptionOutcome(const std::exception& error);
    void RequestReset();
    void RequestForViewPage();
    void Log(const std::exception* error, const QString& text);

    Controls m_ui;
    // Exit may release the dialog; the guarded pointer then reads as none.
    QPointer<TFormCom> m_formCom;
    ReportSink& m_sink;
    LinkEngine m_engine;
    bool m_connected = false;
    UnusableAnswers m_unusable;
    QString m_unusableShown;
    // The port panel names a port that failed.
    bool m_failedPortShown = false;
    // What an answer changed is painted while the next request is on the line.
    PaintHold* m_paintHold;
};
