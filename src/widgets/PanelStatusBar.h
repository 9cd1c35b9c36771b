#pragma once

#include <QList>
#include <QStatusBar>

class QLabel;

// Status bar made of fixed-width text panels, addressed by index.
class PanelStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit PanelStatusBar(QWidget* parent = nullptr);

    void setPanelWidths(const QList<int>& widths);
    int panelCount() const;
    QString panelText(int index) const;
    void setPanelText(int index, const QString& text);
    // Rectangle of a panel in the status bar's own coordinates.
    QRect panelRect(int index) const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void placePanels();

    QList<QLabel*> m_panels;
    QList<int> m_widths;
};
