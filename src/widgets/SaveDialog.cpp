#include "SaveDialog.h"

#include <QFileDialog>

QString ChooseSaveFileName(QWidget* parent, const QString& title, const QStringList& nameFilters,
                           const QString& suffix, const QString& fileName) {
    QFileDialog dialog(parent, title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(nameFilters);
    dialog.setDefaultSuffix(suffix);
    dialog.selectFile(fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}
