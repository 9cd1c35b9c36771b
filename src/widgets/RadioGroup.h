#pragma once

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QRadioButton;

// A captioned group of radio buttons addressed by item index, -1 meaning no
// item selected. itemIndexChanged fires whenever the index actually changes,
// whether the user clicked or the program called setItemIndex.
class RadioGroup : public QGroupBox {
    Q_OBJECT
    Q_PROPERTY(int itemIndex READ itemIndex WRITE setItemIndex NOTIFY itemIndexChanged)
    Q_PROPERTY(QStringList items READ items WRITE setItems)
    Q_PROPERTY(int columns READ columns WRITE setColumns)
public:
    explicit RadioGroup(QWidget* parent = nullptr);

    QStringList items() const;
    void setItems(const QStringList& items); // selection becomes -1
    void clearItems();                       // selection becomes -1
    void addItem(const QString& text);
    int count() const;
    // Items are laid out in this many columns, filled top to bottom first.
    int columns() const { return m_columns; }
    void setColumns(int columns);

    int itemIndex() const { return m_index; }
    // An index past the last item selects the last item; below -1 selects none.
    void setItemIndex(int index);

signals:
    void itemIndexChanged(int index);

private:
    void relayout();
    void onButtonToggled(int id, bool checked);

    QList<QRadioButton*> m_buttons;
    QButtonGroup* m_group;
    int m_index = -1;
    int m_columns = 1;
};
