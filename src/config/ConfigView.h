#pragma once

#include "ConfigWriteFrame.h"
#include "DetectorConfig.h"
#include "UnstoredChanges.h"

#include <QList>
#include <QObject>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>

class ConfigLink;
class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QScrollBar;
class QWidget;
class RadioGroup;
class TrackBar;

// The configuration controls of the main form: shows the detector's record on
// them, and turns every change of one (by the user or by the program) into a
// complete configuration write that the next poll tick sends, followed by a
// read-back. Owns the record (CurrentConfig) and the store-request flags.
//
// Handlers act only while the port is open and the detector's configuration
// has been shown since Connect; a control moved before that just keeps its
// new state. Labels beside the controls change only
// when a report (or a loaded file) is shown, so they always tell what the
// detector holds, never what was dragged.
class ConfigView : public QObject {
    Q_OBJECT
public:
    enum class FileDialogKind { Open, Save };

    // Binds every configuration control of `form` by objectName; a missing
    // control throws std::logic_error.
    ConfigView(QWidget* form, ConfigLink& link, QObject* parent = nullptr);

    const DetectorConfig& CurrentConfig() const { return m_config; }
    std::uint16_t ExtraFlags() const { return m_extraFlags; }

    // Report 9: copies the payload into the record and shows it.
    void ConfigReport(const std::uint8_t* payload40);
    // Shows the record on every control with the poll timer held, then throws
    // away the writes that setting the controls queued.
    void ApplyConfigRecord();
    // Report 7: duty and period count, each low byte first. A position it
    // moves queues a real write.
    void ApplyPwmReport(const std::uint8_t* payload4);
    // Enabling and captions of the PIR noise-reduction boxes from the record's
    // temperature-compensation bit; the live view repeats it on every status.
    void ApplyNoiseReductionMode();

    // Fills the link's outgoing frame from the controls, consumes the extra
    // flags and marks the write pending. Callers check that the port is open.
    void BuildConfigWriteFrame();
    ConfigControlValues ControlValues() const;

    // Lens lists: their handlers run on a user's choice (or when called).
    void ComboBox_Pir1_LensChange();
    void ComboBox_Pir2_LensChange();

    // Load (while connected), save, and store to flash. Save writes only a
    // record that is known: shown from the detector since the last Connect,
    // or loaded from a file; and asks before replacing an existing file.
    void FileOpen1Accept(const QString& path);
    void FileSaveAs1Accept(const QString& path);
    void Action4Execute();

    // The configuration controls, Open Config and Store To Flash are enabled
    // only while a change can reach the detector: connected, and its
    // configuration shown. Whole containers are disabled, so that each
    // control keeps the enabling the record gave it underneath.
    void SetControlsActive(bool active);
    // A new connection began: until its configuration is shown, the record
    // on screen is not known to be this detector's and cannot be saved.
    void ConnectionStarted();
    // The link went down (Disconnect, a link failure, Exit).
    void ConnectionLost();
    // The pending configuration write went out to the detector.
    void ConfigWriteSent();
    // Runs `show`, which sets controls from one of the detector's own reports:
    // the writes it causes echo the detector's state, not the user's changes.
    void EchoDetectorState(const std::function<void()>& show);

    // Changes the user made that the detector holds but has not stored.
    const UnstoredChanges& Unstored() const { return m_unstored; }
    // The user chose to leave them unstored.
    void LeaveUnstored() { m_unstored.Leave(); }
    // Store To Flash can act now.
    bool StoreAvailable() const;
    // The user asked for a store that cannot reach the detector: says so.
    void StoreNotSent();

    // Seams: how a message is shown (default a modal box) and how a file name
    // is chosen (default the open or save dialog; empty means cancelled).
    std::function<void(const QString&)> ShowMessage;
    std::function<QString(FileDialogKind)> ChooseFile;
    // Asked before a save replaces an existing file; true goes ahead.
    std::function<bool(const QString& path)> ConfirmOverwrite;
    // Told where a saved file went.
    std::function<void(const QString& path)> Saved;

signals:
    // Emitted by every build of a write frame, discarded or not.
    void ConfigWriteBuilt();
    // A store to flash went out and the configuration has been read back
    // equal to what was stored.
    void StoredToFlash();
    // A store could not be sent, or was not confirmed by its read-back; the
    // user has been told.
    void StoreFailed();
    // A change of the user's went out to the detector and is not stored.
    void UnstoredChangeSent();

private:
    struct ChannelControls {
        TrackBar* TRange;
        QScrollBar* Tconv;
        QScrollBar* Nconv;
        QScrollBar* NPulse;
        QLabel* TRangeLabel;
        QLabel* TconvLabel;
        QLabel* NconvLabel;
        QLabel* NPulseLabel;
    };
    struct OutputControls {
        QCheckBox* Enable;
        QCheckBox* Mw;
        QCheckBox* Pir1;
        QCheckBox* Pir2;
        RadioGroup* Function;
        RadioGroup* NormallyOpen;
        QScrollBar* TimeAnd;
        QLabel* TimeAndLabel;
    };
    struct FlagBox {
        QCheckBox* Box;
        std::uint16_t Bit;
    };

    void BindControls();
    QCheckBox* FlagCheckBox(std::uint16_t bit) const;
    void ConnectHandlers();

    // A write is built only on a configuration the detector has sent since
    // the last Connect; before that the controls show defaults or a previous
    // detector's record, and writing them would silently reconfigure it.
    // Loading a file is the deliberate exception and does not ask.
    bool WritesAllowed() const;
    // Queue handler: write the controls' state and read it back.
    void QueueWrite();
    // Output-edit handlers: change the record's output bytes, then queue.
    void OutputFlagClick(int output, std::uint8_t bit, bool on);
    void ScrollBar_TimeAndChange(int output, int position);

    void ApplyLens(int pir, int itemIndex);
    // Both lens lists back to "User", the full ranges.
    void ResetLenses();
    // After a store's read-back: the detector holds what it was sent.
    bool ReadBackMatchesStore() const;
    void TellStoreFailed(const QString& reason);
    void ApplyOutputs();
    void ApplyChannels();
    void ApplyPwm();

    void OpenDialogAccepted();
    void SaveDialogAccepted();
    QString DefaultChooseFile(FileDialogKind kind) const;
    void DefaultShowMessage(const QString& text) const;
    bool DefaultConfirmOverwrite(const QString& path) const;
    void SetRecordKnown(bool known);

    QWidget* m_form;
    ConfigLink& m_link;
    DetectorConfig m_config;
    std::uint16_t m_extraFlags = 0;
    // CurrentConfig holds a record shown from the detector since the last
    // Connect, or one loaded from a file.
    bool m_recordKnown = false;
    bool m_detectorEcho = false;
    // The lens lists still show a choice made before the last Connect.
    bool m_lensesFromEarlierConnection = false;
    UnstoredChanges m_unstored;
    // The last frame that carried the store request.
    Command::ConfigWriteFrame m_storeFrame{};

    std::array<ChannelControls, DetectorConfig::ChannelCount> m_channels{};
    std::array<OutputControls, DetectorConfig::OutputCount> m_outputs{};
    std::array<FlagBox, 12> m_flagBoxes{};
    std::array<QComboBox*, 2> m_lensLists{};
    QCheckBox* m_noisePir1 = nullptr;
    QCheckBox* m_noisePir2 = nullptr;
    QCheckBox* m_tempComp = nullptr;
    QScrollBar* m_pwmDc = nullptr;
    QScrollBar* m_pwmFq = nullptr;
    QLabel* m_pwmDcLabel = nullptr;
    QLabel* m_pwmFqLabel = nullptr;
    QAction* m_fileOpen = nullptr;
    QAction* m_fileSaveAs = nullptr;
    QAction* m_storeToFlash = nullptr;
    // Disabled as wholes while no change can reach the detector.
    QList<QWidget*> m_controlContainers;
};
