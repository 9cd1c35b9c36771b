#pragma once

#include <QStringList>

class QComboBox;

// Replaces the items an editable name field offers for completion. The list
// changes under the text being typed, which stays as it is, and no change
// signal fires: nothing was chosen.
void SetNameSuggestions(QComboBox* combo, const QStringList& names);
