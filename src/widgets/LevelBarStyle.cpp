#include "LevelBarStyle.h"

#include <QApplication>
#include <QStyleFactory>
#include <QStyleOptionProgressBar>

LevelBarStyle::LevelBarStyle(QObject* owner)
    : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {
    setParent(owner);
}

void LevelBarStyle::drawControl(ControlElement element, const QStyleOption* option,
                                QPainter* painter, const QWidget* widget) const {
    if (element == CE_ProgressBarContents) {
        if (const auto* bar = qstyleoption_cast<const QStyleOptionProgressBar*>(option)) {
            const bool busy = bar->minimum == 0 && bar->maximum == 0;
            if (!busy && bar->progress <= bar->minimum)
                return;
        }
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}
