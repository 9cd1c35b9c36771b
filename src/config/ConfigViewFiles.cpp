// Configuration files, store to flash, and the file dialogs of the two file
// actions.
#include "ConfigView.h"

#include "ConfigFile.h"
#include "ConfigLink.h"
#include "ConfigSettings.h"
#include "ScopeExit.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QWidget>

void ConfigView::FileOpen1Accept(const QString& path) {
    // A loaded file goes straight to the detector, so it needs a live link.
    if (!m_link.PollingActive())
        return;
    DetectorConfig loaded = m_config;
    const FileError error = ReadConfigFile(path, loaded);
    if (!error.isEmpty()) {
        if (ShowMessage)
            ShowMessage(error);
        return;
    }
    // The controls would clamp or round these, so the detector would get
    // something other than the file says: nothing of it is taken.
    const QList<RefusedSetting> refused = SettingsTheControlsWouldChange(loaded);
    if (!refused.isEmpty()) {
        if (ShowMessage)
            ShowMessage(QStringLiteral("The file \"%1\" was not loaded and nothing was written: "
                                       "the controls would change these settings.\n%2")
                            .arg(QDir::toNativeSeparators(path), DescribeRefusals(refused)));
        return;
    }
    m_config = loaded;
    SetRecordKnown(true);

    // Open the PIR ranges wide so the loaded values are not clamped by a lens.
    ResetLenses();

    if (m_link.PortOpen()) {
        ApplyConfigRecord();
        BuildConfigWriteFrame();
        m_link.Buffers().RequestConfigRead();
    }
}

void ConfigView::FileSaveAs1Accept(const QString& path) {
    // Before any record is known the controls show defaults: a file of
    // them would pass for a site's configuration.
    if (!m_recordKnown)
        return;
    const DetectorConfig copy = m_config;
    const QString name = ConfigSaveFileName(path);
    // A saved site file is worth a question before it is replaced.
    if (QFileInfo(name).isFile() && ConfirmOverwrite && !ConfirmOverwrite(name))
        return;
    const FileError error = WriteConfigFile(name, copy);
    if (!error.isEmpty()) {
        if (ShowMessage)
            ShowMessage(error);
    } else if (Saved) {
        Saved(name);
    }
}

void ConfigView::Action4Execute() {
    // Held disabled while the request is queued; afterwards it gets back the
    // state it had, which the connection logic owns.
    const bool wasEnabled = m_storeToFlash->isEnabled();
    m_storeToFlash->setEnabled(false);
    const ScopeExit restore([this, wasEnabled] { m_storeToFlash->setEnabled(wasEnabled); });
    if (!WritesAllowed())
        return;
    m_extraFlags |= FlagStoreToFlash;
    BuildConfigWriteFrame();
    m_link.Buffers().RequestConfigRead();
}

void ConfigView::OpenDialogAccepted() {
    const QString path = ChooseFile ? ChooseFile(FileDialogKind::Open) : QString();
    if (!path.isEmpty())
        FileOpen1Accept(path);
}

void ConfigView::SaveDialogAccepted() {
    const QString path = ChooseFile ? ChooseFile(FileDialogKind::Save) : QString();
    if (!path.isEmpty())
        FileSaveAs1Accept(path);
}

QString ConfigView::DefaultChooseFile(FileDialogKind kind) const {
    QFileDialog dialog(m_form);
    dialog.setNameFilter(QStringLiteral("bin (*.bin)"));
    // Neither dialog insists that the file exists (a missing file is
    // reported by the load itself) nor asks before replacing one: the save
    // asks about the name it really writes, which may have ".bin" added.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(kind == FileDialogKind::Save ? QFileDialog::AcceptSave
                                                      : QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

bool ConfigView::DefaultConfirmOverwrite(const QString& path) const {
    // The platform's usual question, about the file as the user knows it.
    const QString text = QStringLiteral("%1 already exists.\nDo you want to replace it?")
                             .arg(QFileInfo(path).fileName());
    return QMessageBox::warning(m_form, m_form->window()->windowTitle(), text,
                                QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::No) == QMessageBox::Yes;
}

void ConfigView::DefaultShowMessage(const QString& text) const {
    QMessageBox::warning(m_form, m_form->window()->windowTitle(), text);
}
