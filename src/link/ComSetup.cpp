#include "ComSetup.h"

#include "ComSetupNames.h"
#include "PortScan.h"
#include "ui_ComSetup.h"

#include <QAction>
#include <QMessageBox>

TFormCom::TFormCom(QAction* connectAction, QWidget* parent, PortLister lister,
                   std::function<void(const QString&)> showMessage)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      ui(std::make_unique<Ui::TFormCom>()), m_connectAction(connectAction),
      m_showMessage(std::move(showMessage)) {
    ui->setupUi(this);
    NameComSetupControls(this);
    setFixedSize(193, 170);
    setModal(false);
    if (!m_showMessage) {
        m_showMessage = [this](const QString& text) {
            QMessageBox::warning(this, windowTitle(), text);
        };
    }
    FormCreate(lister ? lister : PortLister(ListSerialPorts));
    connect(ui->ComboBox1, &QComboBox::editTextChanged, this, &TFormCom::ComboBox1Change);
    connect(ui->ScrollBar1, &QScrollBar::valueChanged, this, &TFormCom::ScrollBar1Change);
    connect(ui->Button_OK, &QPushButton::clicked, this, &TFormCom::Button_OKClick);
}

TFormCom::~TFormCom() = default;

void TFormCom::FormCreate(const PortLister& lister) {
    const QStringList ports =
        lister([this](const QString& name) { m_showMessage("Unable to open port " + name); });
    ui->ComboBox1->addItems(ports);
    // Nothing is chosen until the user picks a port.
    ui->ComboBox1->setCurrentIndex(-1);
    ui->ComboBox1->setEditText(QString());
    ui->Label1->setText(QString::number(ui->ScrollBar1->value()) + " mS");
}

void TFormCom::ChoosePort(const QString& name) {
    ui->ComboBox1->setEditText(name);
}

int TFormCom::ReceiveTimeout() const {
    return ui->ScrollBar1->value();
}

void TFormCom::ComboBox1Change(const QString& text) {
    COM = text;
    TimeOut = ui->ScrollBar1->value();
    if (!text.isEmpty() && m_connectAction)
        m_connectAction->setEnabled(true);
}

void TFormCom::ScrollBar1Change(int position) {
    ui->Label1->setText(QString::number(position) + " mS");
}

void TFormCom::Button_OKClick() {
    hide();
}
