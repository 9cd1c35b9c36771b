#include "WindowVisits.h"

#include "ComSetup.h"
#include "ConfigSettings.h"
#include "ConfigView.h"
#include "LinkController.h"
#include "PanelStatusBar.h"
#include "WalkTest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>

#include <utility>

namespace {

// The flag word in a write's body, low byte first, after the three channels
// (five bytes each) and the two PWM words.
constexpr int BodyFlagsAt = 19;

QByteArray RecordBytes(const DetectorConfig& config) {
    return QByteArray(reinterpret_cast<const char*>(config.Bytes.data()), DetectorConfig::Size);
}

} // namespace

QString ChangedSinceText(const QDateTime& previousEnd, int settings) {
    return QStringLiteral("Changed since %1 (%2)")
        .arg(previousEnd.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")),
             settings == 1 ? QStringLiteral("1 setting")
                           : QStringLiteral("%1 settings").arg(settings));
}

WindowVisits::WindowVisits(const SiteBookLocation& location, LinkController& link,
                           ConfigView& config, TFormCom& formCom, PanelStatusBar& statusBar,
                           QObject* parent)
    : QObject(parent), m_link(link), m_config(config), m_formCom(formCom), m_status(statusBar),
      m_book(std::make_unique<SiteBook>(location)),
      // A book on a server records also when the server is away: the
      // visit is then kept on this computer.
      m_recorder(m_book->Open() || location.IsServer() ? m_book.get() : nullptr, m_book->Error()) {
    QWidget* window = statusBar.window();
    ShowFailure = [window](const QString& text) {
        // Not modal: the detector's work, and Exit, go on while it is read.
        auto* box = new QMessageBox(QMessageBox::Warning, window->windowTitle(),
                                    text + QStringLiteral("\n\nThe visit goes on without being "
                                                          "recorded."),
                                    QMessageBox::Ok, window);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::NonModal);
        box->show();
    };
    ShowChanged = [window](const QString& text, const QString& details) {
        auto* box = new QMessageBox(QMessageBox::Information, window->windowTitle(), text,
                                    QMessageBox::Ok, window);
        box->setObjectName(QStringLiteral("ChangedSinceMessage"));
        box->setDetailedText(details);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::NonModal);
        box->show();
    };
    m_recorder.FailureSeen = [this](const QString& error) {
        if (ShowFailure)
            ShowFailure(error);
    };
    m_recorder.KeptLocallySeen = [this](const QString& reason) {
        if (ShowKeptLocally)
            ShowKeptLocally(reason);
    };
    ShowKeptLocally = [window, shown = false](const QString& reason) mutable {
        // Once a run: at a site without network every visit is kept so.
        if (std::exchange(shown, true))
            return;
        auto* box = new QMessageBox(
            QMessageBox::Information, window->windowTitle(),
            QStringLiteral("Visit kept locally: %1\n\nIt goes to the site book's server with the "
                           "next run that reaches it, or with detector-config --sync.")
                .arg(reason),
            QMessageBox::Ok, window);
        box->setObjectName(QStringLiteral("KeptLocallyMessage"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    };
    // A book that cannot be opened is told once the window is up, not only
    // at the first visit (a server that is away: at the visit it concerns).
    if (!m_book->IsOpen() && !location.IsServer())
        QMetaObject::invokeMethod(
            this, [this] { m_recorder.NoteFailure(m_book->Error()); }, Qt::QueuedConnection);

    connect(&link, &LinkController::Connected, this, &WindowVisits::Begin);
    connect(&link, &LinkController::ConfigWriteSent, this, &WindowVisits::WriteSent);
    connect(&link, &LinkController::StateChanged, this, &WindowVisits::LinkStateChanged);
    connect(&config, &ConfigView::StoredToFlash, this, [this] { m_recorder.StoreVerified(); });
    connect(&formCom, &TFormCom::NamesChanged, this, &WindowVisits::NamesChanged);
    RefreshSuggestions();
    NamesChanged();
}

WindowVisits::~WindowVisits() {
    // A program ended while connected closes its visit as ended by choice.
    m_recorder.End(VisitOutcome::Ok);
}

void WindowVisits::Begin() {
    // A visit still open (a reconnect after a link failure) ends first.
    m_recorder.End(VisitOutcome::LinkFailure);
    m_endingByChoice = false;
    const QString site = m_formCom.SiteName();
    const QString detector = m_formCom.DetectorName();
    m_previous.reset();
    if (!detector.isEmpty() && m_book->IsOpen())
        m_book->Latest(site, detector, false, m_previous);
    m_recorder.Begin(m_formCom.COM, site, detector, QStringLiteral(DCT_VERSION));
}

void WindowVisits::ConfigShown() {
    const bool first = !m_recorder.Recorded();
    m_recorder.ConfigRead(RecordBytes(m_config.CurrentConfig()));
    if (!first || !m_previous || m_previous->left.size() != DetectorConfig::Size)
        return;
    DetectorConfig left;
    std::copy(m_previous->left.cbegin(), m_previous->left.cend(), left.Bytes.begin());
    const QList<SettingDifference> changed = CompareSettings(m_config.CurrentConfig(), left);
    if (changed.isEmpty())
        return;
    QStringList lines;
    for (const SettingDifference& d : changed)
        lines << QStringLiteral("%1: detector %2, left %3").arg(d.setting, d.first, d.second);
    const QDateTime when = m_previous->Ended() ? m_previous->ended : m_previous->started;
    if (ShowChanged)
        ShowChanged(ChangedSinceText(when, static_cast<int>(changed.size())), lines.join(u'\n'));
}

void WindowVisits::WriteSent() {
    const Command::ConfigWriteFrame& frame = m_link.Buffers().OutgoingFrame;
    const QByteArray body(reinterpret_cast<const char*>(frame.data()) + 4,
                          Command::ConfigBodyLength);
    const int flags = static_cast<std::uint8_t>(body[BodyFlagsAt]) |
                      (static_cast<std::uint8_t>(body[BodyFlagsAt + 1]) << 8);
    m_recorder.WriteSent(body, (flags & FlagStoreToFlash) != 0);
}

void WindowVisits::LinkStateChanged() {
    if (m_link.IsConnected() || !m_recorder.Active())
        return;
    m_recorder.End(m_endingByChoice ? VisitOutcome::Ok : VisitOutcome::LinkFailure);
    m_endingByChoice = false;
    RefreshSuggestions();
}

void WindowVisits::EventLogRead(const std::uint8_t* payload220) {
    m_recorder.EventLogRead(
        QByteArray(reinterpret_cast<const char*>(payload220), Command::EventLogLength));
}

void WindowVisits::ReportWritten(const QString& path) {
    QFile file(path);
    m_recorder.ReportWritten(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()),
                             file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
}

void WindowVisits::WalkEventFinished(const WalkEvent& event) {
    m_recorder.WalkEvent(event.StartMs, WalkEventLine(event));
}

void WindowVisits::NamesChanged() {
    const QString site = m_formCom.SiteName();
    const QString detector = m_formCom.DetectorName();
    m_recorder.SetNames(site, detector);
    QStringList shown;
    if (!site.isEmpty())
        shown << QStringLiteral("Site: ") + site;
    if (!detector.isEmpty())
        shown << QStringLiteral("Detector: ") + detector;
    m_status.setPanelText(NamesPanel, shown.join(QStringLiteral("   ")));
}

void WindowVisits::RefreshSuggestions() {
    QStringList sites, detectors;
    if (m_book->IsOpen() && m_book->Names(sites, detectors))
        m_formCom.SetNameSuggestions(sites, detectors);
}
