#include "ActionMirror.h"

#include <QAction>
#include <memory>

QString CaptionWithOneMarker(const QString& caption) {
    QString shown;
    bool marked = false;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        const QChar c = caption[i];
        if (c == u'&' && i + 1 < caption.size() && caption[i + 1] == u'&') {
            shown += QStringLiteral("&&"); // a literal ampersand
            ++i;
        } else if (c == u'&') {
            if (!marked)
                shown += c;
            marked = true;
        } else {
            shown += c;
        }
    }
    return shown;
}

void MirrorAction(QAction* item, QAction* action) {
    if (item->text().isEmpty())
        item->setText(action->text());
    item->setText(CaptionWithOneMarker(item->text()));
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
        item->setText(CaptionWithOneMarker(action->text()));
        item->setIconText(item->text());
    });
    QObject::connect(action, &QAction::enabledChanged, item, &QAction::setEnabled);
    QObject::connect(item, &QAction::triggered, action, [action] { action->trigger(); });
}
