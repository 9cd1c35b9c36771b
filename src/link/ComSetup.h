#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QAction;
namespace Ui {
class TFormCom;
}

// The port setup dialog: the user picks the serial port and the receive
// time-out before connecting. Modeless and on top; OK or the close box only
// hide it, so the choice survives between showings.
class TFormCom : public QDialog {
    Q_OBJECT
public:
    using PortLister =
        std::function<QStringList(const std::function<void(const QString&)>& probeError)>;

    // `connectAction` is enabled as soon as a port name is chosen. The port
    // list is built here and brought up to date by RescanPorts; `lister`
    // replaces the system scan in tests.
    explicit TFormCom(QAction* connectAction, QWidget* parent = nullptr,
                      PortLister lister = nullptr,
                      std::function<void(const QString&)> showMessage = nullptr);
    ~TFormCom() override;

    // Port name as chosen, empty until the user picks or types one.
    QString COM;
    // Time-out taken from the scroll bar when the port was last chosen.
    int TimeOut = 90;

    // The scroll bar's live position: the receive time-out of every request.
    int ReceiveTimeout() const;

    // Puts `name` into the port field as if the user had typed it.
    void ChoosePort(const QString& name);

    // The names the installer gives the site and the detector, recorded
    // with each visit; either may be empty.
    QString SiteName() const;
    QString DetectorName() const;
    void SetNames(const QString& site, const QString& detector);
    // The names already known, offered in the fields' lists and completed
    // as the installer types.
    void SetNameSuggestions(const QStringList& sites, const QStringList& detectors);

    void ComboBox1Change(const QString& text);
    void ScrollBar1Change(int position);
    void Button_OKClick();

    // Scans again, so that an adapter plugged in after start-up can be
    // chosen without a restart: new ports are added in scan order, ports
    // that are gone are removed, except the one chosen or typed. The
    // choice, the typed text and the time-out are left as they are.
    void RescanPorts();

signals:
    // The site or detector name was edited.
    void NamesChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    QStringList ScanPorts();

    std::unique_ptr<Ui::TFormCom> ui;
    QAction* m_connectAction;
    PortLister m_lister;
    std::function<void(const QString&)> m_showMessage;
};
