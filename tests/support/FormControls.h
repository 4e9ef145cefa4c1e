#pragma once

#include <QLatin1String>
#include <QObject>
#include <QtGlobal>

// A control of a screen, found by its object name: the names a person's --set uses, and the
// only way the tests reach inside a screen. A name the screen does not have, or a control of
// another kind, ends the test program naming both, instead of crashing further on.
template<class T>
T *control(const QObject *screen, const char *name)
{
    T *found = screen->findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("the screen %s has no %s named %s", qPrintable(screen->objectName()), T::staticMetaObject.className(),
               name);
    return found;
}
