#include "PanelStatusBar.h"

#include <QLabel>
#include <QResizeEvent>
#include <algorithm>

PanelStatusBar::PanelStatusBar(QWidget* parent) : QStatusBar(parent) {
    // Panels are placed by hand rather than through the status bar's own
    // layout, so a panel's rectangle is known before the window is first
    // shown and another widget can be laid exactly over a panel.
    setSizeGripEnabled(false);
}

void PanelStatusBar::setPanelWidths(const QList<int>& widths) {
    while (m_panels.size() > widths.size())
        delete m_panels.takeLast();
    while (m_panels.size() < widths.size()) {
        auto* label = new QLabel(this);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setContentsMargins(2, 0, 2, 0);
        label->show();
        m_panels.append(label);
    }
    m_widths = widths;
    placePanels();
}

int PanelStatusBar::panelCount() const {
    return static_cast<int>(m_panels.size());
}

QString PanelStatusBar::panelText(int index) const {
    if (index < 0 || index >= panelCount())
        return {};
    return m_panels[index]->text();
}

void PanelStatusBar::setPanelText(int index, const QString& text) {
    if (index < 0 || index >= panelCount())
        return;
    m_panels[index]->setText(text);
}

QRect PanelStatusBar::panelRect(int index) const {
    if (index < 0 || index >= panelCount())
        return {};
    int left = 0;
    for (int i = 0; i < index; ++i)
        left += m_widths[i];
    // The last panel reaches the right edge, as in a native status bar.
    const int width = index == panelCount() - 1 ? std::max(m_widths[index], this->width() - left)
                                                : m_widths[index];
    // One pixel of border around each panel, two pixels between panels.
    return QRect(left, 1, std::max(0, width - 2), std::max(0, height() - 2));
}

void PanelStatusBar::resizeEvent(QResizeEvent* event) {
    QStatusBar::resizeEvent(event);
    placePanels();
}

void PanelStatusBar::placePanels() {
    for (int i = 0; i < panelCount(); ++i)
        m_panels[i]->setGeometry(panelRect(i));
}
