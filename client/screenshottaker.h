#pragma once

#include <QDir>
#include <QObject>

class QDialog;
class QWidget;

// Watches the application for the module's windows, so that a run needs nobody at the screen.
// When the setup window appears it saves a picture of every page the operator can reach
// (folder/NN-<page>.png, in tab order, nested page controls page by page) and then presses
// Cancel, leaving the server untouched. A message box the module shows before
// its window (a login failure, a failed download, a visit refused) is printed and closed.
class ScreenshotTaker : public QObject
{
    Q_OBJECT

public:
    explicit ScreenshotTaker(const QString &folder, QObject *parent = nullptr);

    // True when a picture could not be saved.
    bool failed() const { return m_failed; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void photographAndCancel(QDialog *window);
    void photographPage(QWidget *window, QWidget *page);
    void save(QWidget *window, const QString &pageName);
    void printAndClose(QDialog *box);

    QDir m_folder;
    int m_saved = 0;
    bool m_failed = false;
};
