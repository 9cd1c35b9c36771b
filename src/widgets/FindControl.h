#pragma once

#include <QObject>
#include <QString>
#include <stdexcept>

// Looks up a control of a form by its objectName. The object names are the
// contract between a form and the code that drives it, so a missing or
// mistyped control is a programming error that must show at once.
template <class T> T* FindControl(const QObject* root, const char* name) {
    T* found = root->findChild<T*>(QString::fromLatin1(name));
    if (!found)
        throw std::logic_error(std::string("missing control: ") + name);
    return found;
}
