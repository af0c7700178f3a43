#pragma once

// Finding the window's controls by name.

#include <QString>
#include <QWidget>

// The named control below root; a missing control ends the test run, since every later step
// would only fail less clearly.
template<class Control> Control *control(const QObject *root, const QString &name)
{
    auto *found = root->findChild<Control *>(name);
    if (!found)
        qFatal("no control %s", qPrintable(name));
    return found;
}

template<class Control> Control *control(const QObject *root, const char *name)
{
    return control<Control>(root, QLatin1String(name));
}
