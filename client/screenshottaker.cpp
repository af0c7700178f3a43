#include "screenshottaker.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDialog>
#include <QEvent>
#include <QMessageBox>
#include <QPixmap>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>

namespace {

const QLatin1String kSetupWindow("SysSetForm");
const QLatin1String kPageControl("PageControl1");
const QLatin1String kCancelButton("BitBtn2");

void printLine(const QString &text, std::FILE *stream = stdout)
{
    std::fputs(qPrintable(text + QLatin1Char('\n')), stream);
    std::fflush(stream);
}

} // namespace

ScreenshotTaker::ScreenshotTaker(const QString &folder, QObject *parent)
    : QObject(parent), m_folder(folder)
{ }

bool ScreenshotTaker::eventFilter(QObject *watched, QEvent *event)
{
    // Only the show that the module asks for; a window restored by the window manager is
    // shown again spontaneously and must not start a second round.
    if (event->type() != QEvent::Show || event->spontaneous())
        return false;
    auto *dialog = qobject_cast<QDialog *>(watched);
    if (!dialog || !dialog->isWindow())
        return false;
    // The window finishes showing before the work starts, inside the module's modal loop.
    if (dialog->objectName() == kSetupWindow)
        QTimer::singleShot(0, dialog, [this, dialog] { photographAndCancel(dialog); });
    else if (qobject_cast<QMessageBox *>(dialog))
        QTimer::singleShot(0, dialog, [this, dialog] { printAndClose(dialog); });
    return false;
}

void ScreenshotTaker::photographAndCancel(QDialog *window)
{
    auto *pages = window->findChild<QTabWidget *>(kPageControl);
    if (!pages) {
        save(window, window->objectName());
    } else {
        for (int index = 0; index < pages->count(); ++index) {
            if (!pages->isTabVisible(index))
                continue;
            pages->setCurrentIndex(index);
            photographPage(window, pages->widget(index));
        }
    }
    if (auto *cancel = window->findChild<QAbstractButton *>(kCancelButton))
        cancel->click();
    else
        window->reject();
}

// A page that holds a page control of its own is pictured once per inner page, named after
// the inner page; any other page once, under its own name.
void ScreenshotTaker::photographPage(QWidget *window, QWidget *page)
{
    auto *inner = page->findChild<QTabWidget *>();
    if (!inner) {
        save(window, page->objectName());
        return;
    }
    for (int index = 0; index < inner->count(); ++index) {
        if (!inner->isTabVisible(index))
            continue;
        inner->setCurrentIndex(index);
        save(window, inner->widget(index)->objectName());
    }
}

void ScreenshotTaker::save(QWidget *window, const QString &pageName)
{
    // Lets the page just made current lay itself out before it is drawn.
    QCoreApplication::processEvents();
    const QString path = m_folder.filePath(
        QStringLiteral("%1-%2.png").arg(++m_saved, 2, 10, QLatin1Char('0')).arg(pageName));
    if (window->grab().save(path)) {
        printLine(path);
    } else {
        printLine(QStringLiteral("quillon-client: cannot save %1").arg(path), stderr);
        m_failed = true;
    }
}

void ScreenshotTaker::printAndClose(QDialog *box)
{
    const auto *messageBox = qobject_cast<QMessageBox *>(box);
    printLine(QStringLiteral("%1: %2").arg(
        box->objectName(), messageBox ? messageBox->text() : box->windowTitle()));
    box->reject();
}
