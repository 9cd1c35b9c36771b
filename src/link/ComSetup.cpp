#include "ComSetup.h"

#include "ComSetupNames.h"
#include "NameSuggestions.h"
#include "PortScan.h"
#include "ui_ComSetup.h"

#include <QAction>
#include <QCompleter>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QSignalBlocker>

TFormCom::TFormCom(QAction* connectAction, QWidget* parent, PortLister lister,
                   std::function<void(const QString&)> showMessage)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      ui(std::make_unique<Ui::TFormCom>()), m_connectAction(connectAction),
      m_lister(lister ? std::move(lister) : PortLister(ListSerialPorts)),
      m_showMessage(std::move(showMessage)) {
    ui->setupUi(this);
    NameComSetupControls(this);
    setFixedSize(193, 270);
    setModal(false);
    if (!m_showMessage) {
        m_showMessage = [this](const QString& text) {
            QMessageBox::warning(this, windowTitle(), text);
        };
    }
    FormCreate();
    connect(ui->ComboBox1, &QComboBox::editTextChanged, this, &TFormCom::ComboBox1Change);
    ui->ComboBox1->installEventFilter(this);
    ui->ComboBox1->lineEdit()->installEventFilter(this);
    connect(ui->ScrollBar1, &QScrollBar::valueChanged, this, &TFormCom::ScrollBar1Change);
    connect(ui->Button_OK, &QPushButton::clicked, this, &TFormCom::Button_OKClick);
    for (QComboBox* names : {ui->ComboBox_Site, ui->ComboBox_Detector}) {
        names->setCurrentIndex(-1);
        names->lineEdit()->setMaxLength(200);
        // Typing completes from the known names, whatever their letter case.
        names->completer()->setCaseSensitivity(Qt::CaseInsensitive);
        names->completer()->setCompletionMode(QCompleter::PopupCompletion);
        connect(names, &QComboBox::editTextChanged, this, &TFormCom::NamesChanged);
    }
}

QString TFormCom::SiteName() const {
    return ui->ComboBox_Site->currentText().trimmed();
}

QString TFormCom::DetectorName() const {
    return ui->ComboBox_Detector->currentText().trimmed();
}

void TFormCom::SetNames(const QString& site, const QString& detector) {
    ui->ComboBox_Site->setEditText(site);
    ui->ComboBox_Detector->setEditText(detector);
}

void TFormCom::SetNameSuggestions(const QStringList& sites, const QStringList& detectors) {
    ::SetNameSuggestions(ui->ComboBox_Site, sites);
    ::SetNameSuggestions(ui->ComboBox_Detector, detectors);
}

TFormCom::~TFormCom() = default;

QStringList TFormCom::ScanPorts() {
    return m_lister([this](const QString& name) { m_showMessage("Unable to open port " + name); });
}

void TFormCom::FormCreate() {
    ui->ComboBox1->addItems(ScanPorts());
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

bool TFormCom::eventFilter(QObject* watched, QEvent* event) {
    // Left to the combo box, Enter with the whole text selected puts back
    // the list item the user typed over, and the port typed is lost. Enter
    // in the field is OK: the field keeps what it shows.
    if (event->type() == QEvent::KeyPress &&
        (watched == ui->ComboBox1 || watched == ui->ComboBox1->lineEdit())) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            ui->Button_OK->click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFormCom::RescanPorts() {
    const QStringList found = ScanPorts();
    QComboBox* combo = ui->ComboBox1;
    QLineEdit* edit = combo->lineEdit();
    const QString text = combo->currentText();
    const QString chosenItem =
        combo->currentIndex() >= 0 ? combo->itemText(combo->currentIndex()) : QString();
    const int cursor = edit->cursorPosition();
    const int selStart = edit->selectionStart();
    const int selLength = edit->selectedText().size();
    auto kept = [&](const QString& name) {
        return found.contains(name) || name == text || name == COM;
    };

    // Changing the items of a combo box moves its current index and text
    // (adding to an empty list even selects the first item); none of that
    // may count as the user's choice, so the text and selection are put
    // back afterwards with the change signal held.
    const QSignalBlocker block(combo);
    for (int i = combo->count() - 1; i >= 0; --i) {
        if (!kept(combo->itemText(i)))
            combo->removeItem(i);
    }
    for (qsizetype n = 0; n < found.size(); ++n) {
        if (combo->findText(found[n], Qt::MatchExactly) >= 0)
            continue;
        // Before the first listed port that the scan puts after this one.
        int at = combo->count();
        for (int i = 0; i < combo->count(); ++i) {
            if (found.indexOf(combo->itemText(i)) > n) {
                at = i;
                break;
            }
        }
        combo->insertItem(at, found[n]);
    }
    combo->setCurrentIndex(chosenItem.isEmpty() ? -1
                                                : combo->findText(chosenItem, Qt::MatchExactly));
    if (combo->currentText() != text)
        combo->setEditText(text);
    if (selLength > 0)
        edit->setSelection(selStart, selLength);
    else
        edit->setCursorPosition(cursor);
}
