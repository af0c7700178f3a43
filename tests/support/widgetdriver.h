#pragma once

// Finding the window's controls by name and acting on windows that appear inside a modal loop.

#include <QApplication>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>

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

// Runs the action on the first visible top-level widget of that name once it appears, while a
// modal loop runs. Gives up after ten seconds.
inline void whenShown(
    const QString &objectName, std::function<void(QWidget *)> action, int waitedMs = 0)
{
    QTimer::singleShot(20, qApp, [=] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (widget->isVisible() && widget->objectName() == objectName) {
                action(widget);
                return;
            }
        }
        if (waitedMs < 10000)
            whenShown(objectName, action, waitedMs + 20);
    });
}
