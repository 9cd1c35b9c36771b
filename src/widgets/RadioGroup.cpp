#include "RadioGroup.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>
#include <algorithm>

RadioGroup::RadioGroup(QWidget* parent) : QGroupBox(parent), m_group(new QButtonGroup(this)) {
    m_group->setExclusive(true);
    // idToggled covers every way the user can pick an item (mouse, arrow keys,
    // mnemonics); program changes go through setItemIndex, which updates the
    // index before it checks a button so that this handler sees no change.
    connect(m_group, &QButtonGroup::idToggled, this, &RadioGroup::onButtonToggled);
    setLayout(new QGridLayout);
    layout()->setContentsMargins(6, 2, 4, 2);
    layout()->setSpacing(0);
}

QStringList RadioGroup::items() const {
    QStringList texts;
    for (const QRadioButton* b : m_buttons)
        texts << b->text();
    return texts;
}

void RadioGroup::setItems(const QStringList& items) {
    clearItems();
    for (const QString& text : items)
        addItem(text);
}

void RadioGroup::clearItems() {
    for (QRadioButton* b : m_buttons) {
        m_group->removeButton(b);
        delete b;
    }
    m_buttons.clear();
    if (m_index != -1) {
        m_index = -1;
        emit itemIndexChanged(-1);
    }
}

void RadioGroup::addItem(const QString& text) {
    auto* b = new QRadioButton(text, this);
    m_group->addButton(b, static_cast<int>(m_buttons.size()));
    m_buttons.append(b);
    relayout();
}

int RadioGroup::count() const {
    return static_cast<int>(m_buttons.size());
}

void RadioGroup::setColumns(int columns) {
    columns = std::max(1, columns);
    if (columns == m_columns)
        return;
    m_columns = columns;
    relayout();
}

void RadioGroup::setItemIndex(int index) {
    if (index >= count())
        index = count() - 1;
    if (index < -1)
        index = -1;
    if (index == m_index)
        return;
    m_index = index;
    if (index == -1) {
        // An exclusive group refuses to uncheck its last checked button.
        m_group->setExclusive(false);
        for (QRadioButton* b : m_buttons)
            b->setChecked(false);
        m_group->setExclusive(true);
    } else {
        m_buttons[index]->setChecked(true);
    }
    emit itemIndexChanged(m_index);
}

void RadioGroup::onButtonToggled(int id, bool checked) {
    if (!checked || id == m_index)
        return;
    m_index = id;
    emit itemIndexChanged(m_index);
}

void RadioGroup::relayout() {
    auto* grid = static_cast<QGridLayout*>(layout());
    for (QRadioButton* b : m_buttons)
        grid->removeWidget(b);
    const int n = count();
    const int rows = (n + m_columns - 1) / m_columns;
    for (int i = 0; i < n; ++i)
        grid->addWidget(m_buttons[i], rows == 0 ? 0 : i % rows, rows == 0 ? 0 : i / rows);
}
