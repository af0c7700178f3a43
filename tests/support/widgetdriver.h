#pragma once

// Finding the window's controls by name, and pressing Apply as an operator would.

#include <QAbstractButton>
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

// A change by the change rule that leaves every setting as it was: a box ticked and unticked.
// Apply is then on and saves every page.
inline void noteAChange(QWidget *form)
{
    auto *box = control<QAbstractButton>(form, "chkExitQuery");
    box->click();
    box->click();
}

inline void pressApply(QWidget *form)
{
    control<QAbstractButton>(form, "ApplyBitBtn")->click();
}
