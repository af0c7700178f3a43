#pragma once

// Drives modal dialogs and message boxes from a test: each step runs, in order, on the modal
// window that is active when its turn comes, so a step can press a button that opens another
// box and the next step answers that box.

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>

class ModalScript
{
public:
    using Step = std::function<void(QWidget *modal)>;

    ModalScript()
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { runNextStep(); });
        m_timer.start();
    }

    ModalScript &then(Step step)
    {
        m_steps.push_back(std::move(step));
        return *this;
    }

    // Answers a message box with the given button and notes its title and text.
    ModalScript &answer(QMessageBox::StandardButton button, QString *title = nullptr,
        QString *text = nullptr, QMessageBox::Icon *icon = nullptr)
    {
        return then([=](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            if (!box)
                return;
            if (title)
                *title = box->windowTitle();
            if (text)
                *text = box->text();
            if (icon)
                *icon = box->icon();
            box->button(button)->click();
        });
    }

    bool finished() const { return m_steps.empty() && !m_scheduled; }

private:
    void runNextStep()
    {
        if (!QApplication::activeModalWidget() || m_steps.empty() || m_scheduled)
            return;
        // A step may open another modal window, and a timer does not fire again while its own
        // timeout is handled: the step runs from a timer of its own, so that this one keeps
        // polling inside the nested window's loop.
        m_scheduled = true;
        Step step = std::move(m_steps.front());
        m_steps.pop_front();
        QTimer::singleShot(0, &m_timer, [this, step = std::move(step)] {
            m_scheduled = false;
            step(QApplication::activeModalWidget());
        });
    }

    QTimer m_timer;
    std::deque<Step> m_steps;
    bool m_scheduled = false;
};
