#pragma once

#include <QAtomicInteger>
#include <QSemaphore>
#include <QThread>

// A misbehaving server on its own thread (the library under test blocks the test's thread).
// It completes any login and opens any session, then answers a file request badly.
class StubServer : public QThread
{
public:
    enum class Fault {
        CloseMidFile, // sends half of the file frame, then closes
        StallMidFile, // sends half of the file frame, then goes silent and keeps the line
        CorruptContent, // sends a whole frame whose digest does not match the content
        StatusWithoutFile, // answers Status(Ok) and no file
        // closes the login connection after its result, as servers did before carrying the
        // session on it, and then serves files whole
        ClosesLoginConnection,
    };

    explicit StubServer(Fault fault);
    ~StubServer() override;

    // Starts the thread and waits until it listens; false when it could not.
    bool startListening();
    quint16 port() const { return m_port.loadAcquire(); }

protected:
    void run() override;

private:
    Fault m_fault;
    QSemaphore m_ready;
    QAtomicInteger<quint16> m_port = 0;
};
