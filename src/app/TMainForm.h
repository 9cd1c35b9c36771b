#pragma once

#include "FadeCounter.h"

#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>

class QMenu;
class QTimer;
class Subsystems;
class TFormCom;

namespace Ui {
class TMainForm;
}

// The main window: menu, action bar, status bar, the VIEW and LOGS pages with
// every control of the detector, the fade and poll timers, and the window's
// life from the fade-in to the end of the process after the fade-out.
//
// The subsystems (link, configuration, live view, event log) bind to the
// controls by objectName; this class only builds the form, applies the
// interface texts and runs the start-up and shutdown of the window.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    // Full is the program's form: once the other two windows exist, the
    // start-up attaches the subsystems to it (CreateProgramWindows). FormOnly
    // is the form alone, so a subsystem's tests can drive their own view on
    // the real form.
    enum class Wiring { Full, FormOnly };

    explicit TMainForm(Wiring wiring = Wiring::Full, QWidget* parent = nullptr);
    ~TMainForm() override;

    Wiring GetWiring() const { return m_wiring; }
    // The running program's subsystems (null on a FormOnly form). The form
    // owns them.
    void SetSubsystems(Subsystems* subsystems) { m_subsystems = subsystems; }
    Subsystems* GetSubsystems() const { return m_subsystems; }

    // The two windows created after this one at start-up. The COM setup
    // dialog may be released by Exit; afterwards it is never used again.
    void SetComSetup(TFormCom* dialog);
    TFormCom* ComSetup() const;
    void SetGraphics(QWidget* graphics);
    QWidget* Graphics() const { return m_graphics; }

    // Hooks for the other subsystems, run in the documented order.
    // Exit, before the fade-out starts: close and release the port.
    std::function<void()> onExitLinkSide;
    // Window shown, after the fade-in has started: the graph's write
    // position goes back to 0, then the link arms the live-status request.
    std::function<void()> onShowGraphSide;
    std::function<void()> onShowLinkSide;
    // Before Exit: runs the step it is given at once, later
    // or never, as the user decides about changes the detector holds but
    // has not stored. Unset, the step runs at once.
    std::function<void(std::function<void()> proceed)> confirmLeavingDetector;
    // Ends the process with the given exit code at the end of the fade-out.
    // Tests replace it; by default it flushes the output and ends at once,
    // without closing windows or running any further clean-up.
    std::function<void(int)> EndProcess;

    // The alarm sound found at start-up; empty if none.
    QString SirenPath() const { return m_sirenPath; }
    // "SIREN1.WAV" in `folder` (any letter case), or an empty string.
    static QString FindSirenFile(const QString& folder);
    // The sound beside the program, else in the installed data folder
    // ../share/detector-config next to the program's folder.
    static QString LocateSirenFile(const QString& programFolder);

    // One fade step per tick: the 51 steps of a fade take about half a
    // second, slow enough to be seen and quick enough that Exit ends the
    // program promptly. (A 1 ms tick would finish the fade in some 50 ms,
    // which nobody sees.)
    static constexpr int FadeTickMs = 10;

    QTimer* Timer1() const { return m_timer1; }
    QTimer* Timer2() const { return m_timer2; }
    const FadeCounter& Fade() const { return m_fade; }
    // Opacity last handed to the platform, 0..255.
    int AppliedAlpha() const { return m_appliedAlpha; }
    // The action bar's pictures, by image index.
    const QList<QIcon>& ImageList1() const { return m_images; }

    void Action1Execute();
    void Action3Execute();
    void Action5Execute();
    void About1Execute();
    void Timer1Timer();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildDesign();
    void BuildActionBar();
    void FollowConnectCaption();
    void FollowMuteState(bool muted);
    void WidenAlarmColumn();
    void FormCreate(const QString& programFolder);
    void FormShow();
    void ApplyInterfaceTexts();
    void SetWindowAlpha(int alpha);
    void ExitNow();

    std::unique_ptr<Ui::TMainForm> ui;
    Wiring m_wiring;
    Subsystems* m_subsystems = nullptr;
    QTimer* m_timer1;
    QTimer* m_timer2;
    QMenu* m_popupMenu2 = nullptr;
    QList<QIcon> m_images;
    FadeCounter m_fade;
    int m_appliedAlpha = 255;
    QString m_sirenPath;
    bool m_exitConfirmed = false; // Exit again during the fade-out asks nothing
    QPointer<TFormCom> m_comSetup;
    QPointer<QWidget> m_graphics;
};
