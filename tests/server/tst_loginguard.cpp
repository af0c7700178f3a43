#include "loginguard.h"

#include <QTest>

using quillon::dvrd::LoginGuard;

class TestLoginGuard : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A table full of recent failures forgets none of them: every address of a rotating crowd
    // one larger than the table is refused by its sixth login.
    void addressesBeyondTheTableAreStillRefused()
    {
        LoginGuard guard;
        const auto address = [](int i) {
            return QHostAddress(quint32(0x0A000000 + i));
        };
        const int crowd = int(LoginGuard::kMaxAddresses) + 1;
        for (int round = 0; round < LoginGuard::kMaxFailures; ++round) {
            for (int i = 0; i < crowd; ++i)
                guard.recordFailure(address(i), "nobody", false);
        }
        int refused = 0;
        for (int i = 0; i < crowd; ++i)
            refused += guard.refusal(address(i), "nobody") != LoginGuard::Refusal::None;
        QCOMPARE(refused, crowd);
        QCOMPARE(guard.refusal(address(crowd - 1), "nobody"), LoginGuard::Refusal::TableFull);
        // An address that logged in before is not shut out by strangers filling the table.
        const QHostAddress operatorAddress(QStringLiteral("192.0.2.7"));
        guard.recordSuccess(operatorAddress);
        QCOMPARE(guard.refusal(operatorAddress, "admin"), LoginGuard::Refusal::None);
    }

    void ipv6CountsByNetwork()
    {
        LoginGuard guard;
        for (int i = 1; i <= LoginGuard::kMaxFailures; ++i)
            guard.recordFailure(
                QHostAddress(QStringLiteral("2001:db8:1:2::%1").arg(i)), "x", false);
        QCOMPARE(guard.refusal(QHostAddress(QStringLiteral("2001:db8:1:2:ffff::9")), "x"),
            LoginGuard::Refusal::AddressLockedOut);
        QCOMPARE(guard.refusal(QHostAddress(QStringLiteral("2001:db8:1:3::1")), "x"),
            LoginGuard::Refusal::None);
        QCOMPARE(LoginGuard::keyOf(QHostAddress(QStringLiteral("::ffff:192.0.2.1"))),
            QStringLiteral("192.0.2.1"));
    }
};

QTEST_GUILESS_MAIN(TestLoginGuard)
#include "tst_loginguard.moc"
