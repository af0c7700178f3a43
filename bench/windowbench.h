#pragma once

// What the benchmarks of the setup window share.

#include <QAbstractButton>
#include <QWidget>

// A change by the change rule that leaves every setting as it was: a box ticked and unticked.
// Apply is then on and saves every page.
inline void noteAChange(QWidget *form)
{
    auto *box = form->findChild<QAbstractButton *>(QStringLiteral("chkExitQuery"));
    box->click();
    box->click();
}

inline void pressApply(QWidget *form)
{
    form->findChild<QAbstractButton *>(QStringLiteral("ApplyBitBtn"))->click();
}
