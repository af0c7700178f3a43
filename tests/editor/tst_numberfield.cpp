// The typed-value clamp of number fields and the GBK byte limit of text fields.

#include "editor/numberfield.h"

#include <QLineEdit>
#include <QTest>

using namespace quillon::editor;

class TestNumberField : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void clamp_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("empty") << QString() << 1;
        QTest::newRow("blanks") << QStringLiteral("  ") << 1;
        QTest::newRow("minus") << QStringLiteral("-") << 1;
        QTest::newRow("negative") << QStringLiteral("-50") << 1;
        QTest::newRow("zero") << QStringLiteral("0") << 1;
        QTest::newRow("inside") << QStringLiteral("250") << 250;
        QTest::newRow("leading zeros") << QStringLiteral("007") << 7;
        QTest::newRow("above") << QStringLiteral("123456") << 99999;
        QTest::newRow("far above") << QStringLiteral("99999999999999999999999") << 99999;
        QTest::newRow("not a number") << QStringLiteral("12a") << 1;
    }

    void clamp()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(clampTypedValue(text, 1, 99999), value);
    }

    void keyReleaseRewritesTheText()
    {
        NumberField field;
        field.setRange(1, 999);
        field.setValue(5000);
        QCOMPARE(field.text(), QStringLiteral("999"));
        field.selectAll();
        QTest::keyClicks(&field, QStringLiteral("12"));
        QCOMPARE(field.text(), QStringLiteral("12"));
        field.clear();
        QTest::keyClick(&field, Qt::Key_0); // rewritten as the minimum at once
        QCOMPARE(field.text(), QStringLiteral("1"));
        field.selectAll();
        QTest::keyClicks(&field, QStringLiteral("3456"));
        QCOMPARE(field.text(), QStringLiteral("999"));
        field.selectAll();
        QTest::keyClick(&field, Qt::Key_Minus);
        QCOMPARE(field.text(), QStringLiteral("1"));
        QTest::keyClick(&field, Qt::Key_Down);
        QCOMPARE(field.value(), 1);
        QTest::keyClick(&field, Qt::Key_Up);
        QCOMPARE(field.value(), 2);
    }

    void gbkByteLimit()
    {
        QLineEdit field;
        field.setValidator(new GbkByteValidator(4, &field));
        field.insert(QString::fromUtf8("值班"));
        QCOMPARE(field.text(), QString::fromUtf8("值班")); // 2 bytes each
        field.insert(QStringLiteral("x"));
        QCOMPARE(field.text(), QString::fromUtf8("值班"));
        field.clear();
        field.insert(QString::fromUtf8("a😀"));
        QCOMPARE(field.text(), QString());
        field.insert(QStringLiteral("ab"));
        QCOMPARE(field.text(), QStringLiteral("ab"));
    }
};

QTEST_MAIN(TestNumberField)
#include "tst_numberfield.moc"
