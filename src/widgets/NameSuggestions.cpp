#include "NameSuggestions.h"

#include <QComboBox>
#include <QSignalBlocker>
#include <QStringList>

void SetNameSuggestions(QComboBox* combo, const QStringList& names) {
    const QString text = combo->currentText();
    const QSignalBlocker block(combo);
    combo->clear();
    combo->addItems(names);
    combo->setCurrentIndex(-1);
    combo->setEditText(text);
}
