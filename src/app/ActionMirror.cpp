#include "ActionMirror.h"

#include <QAction>
#include <memory>

void MirrorAction(QAction* item, QAction* action) {
    if (item->text().isEmpty())
        item->setText(action->text());
    // Tool buttons show the icon text; an explicit one keeps the "&" marker
    // so the item has its keyboard mnemonic.
    item->setIconText(item->text());
    item->setToolTip(action->toolTip());
    item->setStatusTip(action->statusTip());
    item->setEnabled(action->isEnabled());

    // QAction::changed also fires for other properties; only a new caption
    // replaces the item's caption.
    auto lastText = std::make_shared<QString>(action->text());
    QObject::connect(action, &QAction::changed, item, [item, action, lastText] {
        if (action->text() == *lastText)
            return;
        *lastText = action->text();
        item->setText(action->text());
        item->setIconText(action->text());
    });
    QObject::connect(action, &QAction::enabledChanged, item, &QAction::setEnabled);
    QObject::connect(item, &QAction::triggered, action, [action] { action->trigger(); });
}
