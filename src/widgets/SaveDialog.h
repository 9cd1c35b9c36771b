#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// The save dialog of an export: asks for a file name, offering `fileName`
// and adding `suffix` when the user types none. Empty when cancelled.
QString ChooseSaveFileName(QWidget* parent, const QString& title, const QStringList& nameFilters,
                           const QString& suffix, const QString& fileName);
