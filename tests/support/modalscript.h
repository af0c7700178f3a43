#pragma once

// Drives modal windows and message boxes from a test. Each step runs, in order, on the modal
// window that is active when its turn comes, or, after waitFor, on the visible top-level window
// of that name once it appears; so a step can press a button that opens another window and the
// next step acts on that one. A message box that no step is waiting for is noted and closed
// with OK (or No), so that no box can stall a test.

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <deque>
#include <functional>
#include <vector>

class ModalScript
{
public:
    using Step = std::function<void(QWidget *window)>;

    ModalScript()
    {
        live().push_back(this);
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_timer.start();
    }

    ~ModalScript() { live().erase(std::find(live().begin(), live().end(), this)); }

    ModalScript(const ModalScript &) = delete;
    ModalScript &operator=(const ModalScript &) = delete;

    ModalScript &then(Step step)
    {
        m_steps.push_back({std::exchange(m_nextWindow, {}), std::move(step)});
        return *this;
    }

    // The next step waits for a visible top-level window of this object name.
    ModalScript &waitFor(const QString &objectName)
    {
        m_nextWindow = objectName;
        return *this;
    }

    // Answers a message box with the given button and notes its title, text and icon.
    ModalScript &answer(QMessageBox::StandardButton button, QString *title = nullptr,
        QString *text = nullptr, QMessageBox::Icon *icon = nullptr)
    {
        return then([=, this](QWidget *window) {
            auto *box = qobject_cast<QMessageBox *>(window);
            if (!box)
                return;
            if (title)
                *title = box->windowTitle();
            if (text)
                *text = box->text();
            if (icon)
                *icon = box->icon();
            m_texts << box->text();
            box->button(button)->click();
        });
    }

    // The texts of the message boxes answered or closed so far, oldest first; forgets them.
    QStringList takeTexts() { return std::exchange(m_texts, {}); }

    bool finished() const { return m_steps.empty() && !m_scheduled; }

private:
    struct Entry
    {
        QString window; // empty: the active modal window
        Step step;
    };

    static std::vector<ModalScript *> &live()
    {
        static std::vector<ModalScript *> scripts;
        return scripts;
    }

    static QWidget *shownWindow(const QString &objectName)
    {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (widget->isVisible() && widget->objectName() == objectName)
                return widget;
        }
        return nullptr;
    }

    // Whether this script's next step is for the window, or is about to run.
    bool wants(const QWidget *window) const
    {
        return m_scheduled
            || (!m_steps.empty()
                && (m_steps.front().window.isEmpty()
                    || m_steps.front().window == window->objectName()));
    }

    void poll()
    {
        if (m_scheduled)
            return;
        if (!m_steps.empty()) {
            const Entry &next = m_steps.front();
            QWidget *window = next.window.isEmpty() ? QApplication::activeModalWidget()
                                                    : shownWindow(next.window);
            if (window) {
                runNext(next.window);
                return;
            }
        }
        closeUnwantedBox();
    }

    void runNext(const QString &windowName)
    {
        // A step may open another modal window, and a timer does not fire again while its own
        // timeout is handled: the step runs from a timer of its own, so that this one keeps
        // polling inside the nested window's loop.
        m_scheduled = true;
        Step step = std::move(m_steps.front().step);
        m_steps.pop_front();
        QTimer::singleShot(0, &m_timer, [this, windowName, step = std::move(step)] {
            m_scheduled = false;
            step(
                windowName.isEmpty() ? QApplication::activeModalWidget() : shownWindow(windowName));
        });
    }

    // Closes a message box no live script waits for; the newest script notes it.
    void closeUnwantedBox()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible() || live().back() != this)
            return;
        if (std::any_of(live().begin(), live().end(),
                [box](const ModalScript *script) { return script->wants(box); }))
            return;
        m_texts << box->text();
        if (QAbstractButton *close = box->button(QMessageBox::Ok))
            close->click();
        else if (QAbstractButton *no = box->button(QMessageBox::No))
            no->click();
        else
            box->reject();
    }

    QTimer m_timer;
    std::deque<Entry> m_steps;
    QString m_nextWindow;
    QStringList m_texts;
    bool m_scheduled = false;
};
