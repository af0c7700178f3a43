// The pause between transfers sleeps to a deadline of the monotonic clock.

#include "platform/platform.h"

#include <QElapsedTimer>
#include <QTest>

#include <csignal>
#include <pthread.h>
#include <thread>

using namespace std::chrono;

class TestPause : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lastsItsTimeAndNoMore()
    {
        QElapsedTimer clock;
        clock.start();
        quillon::platform::pause(30);
        QVERIFY(clock.nsecsElapsed() >= 30'000'000);
        QVERIFY(clock.elapsed() < 1000);

        // Work done inside a pause does not lengthen it; a deadline already passed costs nothing.
        const steady_clock::time_point start = steady_clock::now();
        quillon::platform::sleepUntil(start + milliseconds(20));
        quillon::platform::sleepUntil(start + milliseconds(5));
        const nanoseconds slept = steady_clock::now() - start;
        QVERIFY(slept >= milliseconds(20));
        QVERIFY(slept < milliseconds(500));
    }

    // A signal arriving during the pause neither ends it early nor starts it anew.
    void signalsDoNotMoveTheDeadline()
    {
        std::signal(SIGUSR1, [](int) {});
        const pthread_t sleeper = pthread_self();
        std::thread interrupter([sleeper] {
            for (int i = 0; i < 5; ++i) {
                std::this_thread::sleep_for(milliseconds(10));
                pthread_kill(sleeper, SIGUSR1);
            }
        });
        const steady_clock::time_point start = steady_clock::now();
        quillon::platform::pause(100);
        const nanoseconds slept = steady_clock::now() - start;
        interrupter.join();
        QVERIFY(slept >= milliseconds(100));
        QVERIFY(slept < milliseconds(600));
    }
};

QTEST_GUILESS_MAIN(TestPause)
#include "tst_pause.moc"
