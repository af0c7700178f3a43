// The profile engine: reads as the platform's profile functions do, writes change only the
// line of the key written, and batches leave files byte for byte as single writes would.

#include "settings/profilestore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace quillon::settings;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

const QByteArray kMissing = "<default>";

} // namespace

class TestProfile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_path = m_dir->filePath(QStringLiteral("t.ini"));
    }

    void readsLikeThePlatform_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("expected");

        const QByteArray mixedEnds = "[a]\nk1=1\r\nk2=2\rk3=3\r\n[b]\rk=b";
        QTest::newRow("LF") << mixedEnds << QByteArray("a") << QByteArray("k1") << QByteArray("1");
        QTest::newRow("CRLF") << mixedEnds << QByteArray("a") << QByteArray("k2")
                              << QByteArray("2");
        QTest::newRow("lone CR") << mixedEnds << QByteArray("a") << QByteArray("k3")
                                 << QByteArray("3");
        QTest::newRow("last line without end")
            << mixedEnds << QByteArray("b") << QByteArray("k") << QByteArray("b");
        QTest::newRow("header trimmed, text after ] ignored")
            << QByteArray("  [ Sec One ] tail\nk=v") << QByteArray("sec one") << QByteArray("k")
            << QByteArray("v");
        QTest::newRow("header runs to the last ]")
            << QByteArray("[a]b]\nk=v") << QByteArray("a]b") << QByteArray("k") << QByteArray("v");
        QTest::newRow("[ without ] is no header")
            << QByteArray("[a]\n[b\nk=v") << QByteArray("a") << QByteArray("k") << QByteArray("v");
        QTest::newRow("blanks, tabs, VT, FF trimmed")
            << QByteArray("[a]\n \t\v\fkey \t= \v value with  blanks \f\t\n") << QByteArray("a")
            << QByteArray("key") << QByteArray("value with  blanks");
        QTest::newRow("0xA0 is no blank") << QByteArray("[a]\nk=\xA0v\xA0\n") << QByteArray("a")
                                          << QByteArray("k") << QByteArray("\xA0v\xA0");
        QTest::newRow("split at the first =") << QByteArray("[a]\nk=x=y\n") << QByteArray("a")
                                              << QByteArray("k") << QByteArray("x=y");
        QTest::newRow("line without = is no key")
            << QByteArray("[a]\nk\n") << QByteArray("a") << QByteArray("k") << kMissing;
        QTest::newRow("semicolon line is a key for lookups")
            << QByteArray("[a]\n; x = y\n") << QByteArray("a") << QByteArray("; x")
            << QByteArray("y");
        QTest::newRow("no inline comments") << QByteArray("[a]\nc=3 ; note\n") << QByteArray("a")
                                            << QByteArray("c") << QByteArray("3 ; note");
        QTest::newRow("hash is ordinary")
            << QByteArray("[a]\n#k=1\n") << QByteArray("a") << QByteArray("#k") << QByteArray("1");
        QTest::newRow("double quotes removed")
            << QByteArray("[a]\nk= \"q v\" \n") << QByteArray("a") << QByteArray("k")
            << QByteArray("q v");
        QTest::newRow("single quotes removed")
            << QByteArray("[a]\nk='q'\n") << QByteArray("a") << QByteArray("k") << QByteArray("q");
        QTest::newRow("lone quote stays") << QByteArray("[a]\nk=\"q\n") << QByteArray("a")
                                          << QByteArray("k") << QByteArray("\"q");
        QTest::newRow("mixed quotes stay") << QByteArray("[a]\nk=\"q'\n") << QByteArray("a")
                                           << QByteArray("k") << QByteArray("\"q'");
        QTest::newRow("one quote alone stays")
            << QByteArray("[a]\nk=\"\n") << QByteArray("a") << QByteArray("k") << QByteArray("\"");
        QTest::newRow("names ignore ASCII case")
            << QByteArray("[System Options]\nMaxRecCount=16\n") << QByteArray("SYSTEM options")
            << QByteArray("maxreccount") << QByteArray("16");
        QTest::newRow("blanks around the name asked for")
            << QByteArray("[a]\nk=v\n") << QByteArray(" a ") << QByteArray("\tk ")
            << QByteArray("v");
        QTest::newRow("GBK names match byte for byte")
            << QByteArray("[\xC9\xE8\xD6\xC3]\n\xC3\xFB=1\n") << QByteArray("\xC9\xE8\xD6\xC3")
            << QByteArray("\xC3\xFB") << QByteArray("1");
        QTest::newRow("high bytes are not case-folded")
            << QByteArray("[\xC9\xE8]\nk=1\n") << QByteArray("\xE9\xE8") << QByteArray("k")
            << kMissing;
        QTest::newRow("backslash is ordinary") << QByteArray("[a]\nk=\xD5\\\\\n") << QByteArray("a")
                                               << QByteArray("k") << QByteArray("\xD5\\\\");
        QTest::newRow("first key wins") << QByteArray("[a]\nk=1\nK=2\n") << QByteArray("a")
                                        << QByteArray("k") << QByteArray("1");
        QTest::newRow("first section wins") << QByteArray("[a]\nk=1\n[A]\nk=2\n") << QByteArray("a")
                                            << QByteArray("k") << QByteArray("1");
        QTest::newRow("later section of the same name is never read")
            << QByteArray("[a]\nx=1\n[b]\n[a]\nk=2\n") << QByteArray("a") << QByteArray("k")
            << kMissing;
        QTest::newRow("key= reads empty")
            << QByteArray("[a]\nk=   \n") << QByteArray("a") << QByteArray("k") << QByteArray("");
        QTest::newRow("missing section")
            << QByteArray("[a]\nk=1\n") << QByteArray("b") << QByteArray("k") << kMissing;
        QTest::newRow("missing key")
            << QByteArray("[a]\nk=1\n") << QByteArray("a") << QByteArray("j") << kMissing;
        QTest::newRow("lines before the first header")
            << QByteArray("k=0\n[a]\nk=1\n") << QByteArray("") << QByteArray("k")
            << QByteArray("0");
        QTest::newRow("NUL ends the value") << QByteArray("[a]\nk=ab\0cd\n", 12) << QByteArray("a")
                                            << QByteArray("k") << QByteArray("ab");
    }

    void readsLikeThePlatform()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, section);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, expected);
        writeAll(m_path, file);
        ProfileStore store;
        QCOMPARE(store.readText(m_path, section, key, kMissing), expected);
    }

    void missingFileGivesDefaults()
    {
        ProfileStore store;
        const QString path = m_dir->filePath(QStringLiteral("absent.ini"));
        QCOMPARE(store.readText(path, "a", "k", "d"), QByteArray("d"));
        QCOMPARE(store.readInt(path, "a", "k", 7), 7);
        QCOMPARE(store.readFlag(path, "a", "k", true), true);
        QVERIFY(!QFile::exists(path));
    }

    void longValuesAreCut()
    {
        writeAll(m_path, "[a]\nk=" + QByteArray(3000, 'x') + "\n");
        ProfileStore store;
        QCOMPARE(store.readText(m_path, "a", "k"), QByteArray(2047, 'x'));
    }

    void integers_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("expected");
        const int dflt = -99;
        QTest::newRow("decimal") << QByteArray("12") << 12;
        QTest::newRow("0x10") << QByteArray("0x10") << 16;
        QTest::newRow("0X1F") << QByteArray("0X1F") << 31;
        QTest::newRow("$1F") << QByteArray("$1F") << 31;
        QTest::newRow("x1f") << QByteArray("x1f") << 31;
        QTest::newRow("0x alone") << QByteArray("0x") << dflt;
        QTest::newRow("blank then number") << QByteArray(" 42") << 42;
        QTest::newRow("trailing letters") << QByteArray("42abc") << dflt;
        QTest::newRow("fraction") << QByteArray("1.5") << dflt;
        QTest::newRow("word") << QByteArray("yes") << dflt;
        QTest::newRow("empty") << QByteArray("") << dflt;
        QTest::newRow("sign alone") << QByteArray("-") << dflt;
        QTest::newRow("negative") << QByteArray("-5") << -5;
        QTest::newRow("plus") << QByteArray("+7") << 7;
        QTest::newRow("negative hex") << QByteArray("-$10") << -16;
        QTest::newRow("sign before 0x") << QByteArray("-0x10") << dflt;
        QTest::newRow("max") << QByteArray("2147483647") << 2147483647;
        QTest::newRow("over max") << QByteArray("2147483648") << dflt;
        QTest::newRow("min") << QByteArray("-2147483648") << int(-2147483647 - 1);
        QTest::newRow("under min") << QByteArray("-2147483649") << dflt;
        QTest::newRow("all 32 bits in hex") << QByteArray("$FFFFFFFF") << -1;
        QTest::newRow("33 bits in hex") << QByteArray("$100000000") << dflt;
        QTest::newRow("many digits") << QByteArray("000000000000000000000042") << 42;
    }

    void integers()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, expected);
        QCOMPARE(parseProfileInteger(text).value_or(-99), expected);
        writeAll(m_path, "[a]\nk=" + text + "\n");
        ProfileStore store;
        QCOMPARE(store.readInt(m_path, "a", "k", -99), expected);
    }

    void flags()
    {
        writeAll(m_path, "[a]\none=1\ntwo=2\nminus=-1\nzero=0\nword=true\nyes=yes\n");
        ProfileStore store;
        QVERIFY(store.readFlag(m_path, "a", "one", false));
        QVERIFY(store.readFlag(m_path, "a", "two", false));
        QVERIFY(store.readFlag(m_path, "a", "minus", false));
        QVERIFY(!store.readFlag(m_path, "a", "zero", true));
        QVERIFY(!store.readFlag(m_path, "a", "word", false));
        QVERIFY(store.readFlag(m_path, "a", "word", true));
        QVERIFY(!store.readFlag(m_path, "a", "yes", false));
    }

    void writes_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QByteArray>("after");

        QTest::newRow("in place, stored spelling kept, other bytes untouched")
            << QByteArray("; top\n\n[S]\r\n  MyKey \t=  old \r\n;c = x\n\n[T]\nx = 1")
            << QByteArray("s") << QByteArray("MYKEY") << QByteArray("new")
            << QByteArray("; top\n\n[S]\r\nMyKey=new\r\n;c = x\n\n[T]\nx = 1");
        QTest::newRow("new key after the last non-blank line of its section")
            << QByteArray("[A]\r\na=1\r\n\r\n  \r\n[B]\r\nb=1\r\n") << QByteArray("A")
            << QByteArray("n") << QByteArray("2")
            << QByteArray("[A]\r\na=1\r\nn=2\r\n\r\n  \r\n[B]\r\nb=1\r\n");
        QTest::newRow("new key right after a bare header")
            << QByteArray("[A]\n\n[B]\n") << QByteArray("a") << QByteArray("k") << QByteArray("v")
            << QByteArray("[A]\nk=v\r\n\n[B]\n");
        QTest::newRow("new key after a last line without end")
            << QByteArray("[A]\na=1") << QByteArray("A") << QByteArray("b") << QByteArray("2")
            << QByteArray("[A]\na=1\r\nb=2\r\n");
        QTest::newRow("new section at the end, after a line end")
            << QByteArray("[A]\na=1") << QByteArray("New") << QByteArray("k") << QByteArray("v")
            << QByteArray("[A]\na=1\r\n[New]\r\nk=v\r\n");
        QTest::newRow("new section, no blank line added")
            << QByteArray("[A]\na=1\n\n") << QByteArray("N") << QByteArray("k") << QByteArray("v")
            << QByteArray("[A]\na=1\n\n[N]\r\nk=v\r\n");
        QTest::newRow("first of duplicate sections and keys")
            << QByteArray("[a]\nk=1\nk=2\n[a]\nk=3\n") << QByteArray("A") << QByteArray("K")
            << QByteArray("9") << QByteArray("[a]\nk=9\nk=2\n[a]\nk=3\n");
        QTest::newRow("key missing from the first section goes there")
            << QByteArray("[a]\nx=1\n[a]\nk=3\n") << QByteArray("a") << QByteArray("k")
            << QByteArray("4") << QByteArray("[a]\nx=1\nk=4\r\n[a]\nk=3\n");
        QTest::newRow("GBK bytes with 0x5C written as they are")
            << QByteArray("[a]\nt=x\n") << QByteArray("a") << QByteArray("t")
            << QByteArray("\xCA\x5C\xB5\x5C") << QByteArray("[a]\nt=\xCA\x5C\xB5\x5C\n");
        QTest::newRow("empty value")
            << QByteArray("[a]\nt=x\n") << QByteArray("a") << QByteArray("t") << QByteArray("")
            << QByteArray("[a]\nt=\n");
        QTest::newRow("quoted value stored in quotes is a change")
            << QByteArray("[a]\nt=\"x\"\n") << QByteArray("a") << QByteArray("t") << QByteArray("x")
            << QByteArray("[a]\nt=x\n");
    }

    void writes()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, section);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, value);
        QFETCH(QByteArray, after);
        writeAll(m_path, before);
        ProfileStore store;
        QVERIFY(store.writeText(m_path, section, key, value));
        QCOMPARE(readAll(m_path), after);
        QCOMPARE(store.readText(m_path, section, key, kMissing), value);
        ProfileStore fresh;
        QCOMPARE(fresh.readText(m_path, section, key, kMissing), value);
    }

    void writeCreatesMissingFileButNotFolder()
    {
        ProfileStore store;
        QVERIFY(store.writeText(m_path, "s", "k", "v"));
        QCOMPARE(readAll(m_path), QByteArray("[s]\r\nk=v\r\n"));
        QVERIFY(store.writeInt(m_path, "s", "n", -12));
        QVERIFY(store.writeFlag(m_path, "s", "f", true));
        QCOMPARE(readAll(m_path), QByteArray("[s]\r\nk=v\r\nn=-12\r\nf=1\r\n"));

        const QString inMissingFolder = m_dir->filePath(QStringLiteral("no/such/t.ini"));
        QVERIFY(!store.writeText(inMissingFolder, "s", "k", "v"));
        QVERIFY(!QFile::exists(inMissingFolder));
        QCOMPARE(store.readText(inMissingFolder, "s", "k", "d"), QByteArray("d"));
    }

    // A file that cannot be loaded reads as empty; writing it would replace all of it.
    void fileThatCannotBeLoadedRefusesWrites()
    {
        const QByteArray bytes = "[s]\r\nk=v\r\n" + QByteArray(17 * 1024 * 1024, ';');
        writeAll(m_path, bytes);
        ProfileStore store;
        QCOMPARE(store.readText(m_path, "s", "k", "d"), QByteArray("d"));
        QVERIFY(!store.writeText(m_path, "s", "k", "new"));
        QVERIFY(!store.removeSection(m_path, "s"));
        store.beginBatch();
        QVERIFY(!store.writeInt(m_path, "s", "n", 1));
        QVERIFY(!store.endBatch()); // the batch reports the refused write
        store.beginBatch();
        QVERIFY(store.endBatch());
        QCOMPARE(QFileInfo(m_path).size(), bytes.size());
        QVERIFY(readAll(m_path) == bytes);
    }

    void writeOfTheSameValueLeavesTheFileAlone()
    {
        const QByteArray bytes = "[a]\nk =  v \n";
        writeAll(m_path, bytes);
        const QFileInfo before(m_path);
        const auto inode = before.fileTime(QFileDevice::FileModificationTime);
        ProfileStore store;
        QVERIFY(store.writeText(m_path, "A", "K", "v"));
        QCOMPARE(readAll(m_path), bytes);
        QCOMPARE(QFileInfo(m_path).fileTime(QFileDevice::FileModificationTime), inode);
    }

    void writesThatWouldCorruptAreRefused_data()
    {
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("value");
        QTest::newRow("] in section") << QByteArray("a]b") << QByteArray("k") << QByteArray("v");
        QTest::newRow("LF in section") << QByteArray("a\nb") << QByteArray("k") << QByteArray("v");
        QTest::newRow("empty key") << QByteArray("a") << QByteArray("") << QByteArray("v");
        QTest::newRow("blank key") << QByteArray("a") << QByteArray("  ") << QByteArray("v");
        QTest::newRow("= in key") << QByteArray("a") << QByteArray("k=x") << QByteArray("v");
        QTest::newRow("CR in key") << QByteArray("a") << QByteArray("k\r") << QByteArray("v");
        QTest::newRow("key opening a header")
            << QByteArray("a") << QByteArray("[k") << QByteArray("]");
        QTest::newRow("CRLF in value")
            << QByteArray("a") << QByteArray("k") << QByteArray("v\r\nx=1");
        QTest::newRow("NUL in value")
            << QByteArray("a") << QByteArray("k") << QByteArray("v\0w", 3);
    }

    void writesThatWouldCorruptAreRefused()
    {
        QFETCH(QByteArray, section);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, value);
        const QByteArray bytes = "[a]\nk=old\n";
        writeAll(m_path, bytes);
        ProfileStore store;
        QVERIFY(!store.writeText(m_path, section, key, value));
        QCOMPARE(readAll(m_path), bytes);
        QCOMPARE(store.readText(m_path, "a", "k"), QByteArray("old"));
    }

    void removeSection()
    {
        const QByteArray bytes
            = "; top\r\n[Keep]\r\na=1\r\n[Telephone No]\r\n1=x\r\n\r\n[keep2]\nb=2\n"
              "[TELEPHONE NO]\n3=z\n";
        writeAll(m_path, bytes);
        ProfileStore store;
        QVERIFY(store.removeSection(m_path, "telephone no"));
        QCOMPARE(readAll(m_path), QByteArray("; top\r\n[Keep]\r\na=1\r\n[keep2]\nb=2\n"));
        QCOMPARE(store.readText(m_path, "Telephone No", "3", "gone"), QByteArray("gone"));
        QVERIFY(store.writeText(m_path, "Telephone No", "1", "y"));
        QCOMPARE(readAll(m_path),
            QByteArray("; top\r\n[Keep]\r\na=1\r\n[keep2]\nb=2\n[Telephone No]\r\n1=y\r\n"));
        const QByteArray after = readAll(m_path);
        QVERIFY(store.removeSection(m_path, "absent"));
        QCOMPARE(readAll(m_path), after);
    }

    // 64 sections of 34 keys, written in a batch and one by one, must give the same bytes.
    void batchEqualsSingleWrites()
    {
        const QString single = m_dir->filePath(QStringLiteral("single.ini"));
        const QString batched = m_dir->filePath(QStringLiteral("batched.ini"));
        const QByteArray seed = "; settings\r\n[ENCODER3]\r\nKey0 = 1\r\n\r\n[Other]\nx=1";
        writeAll(single, seed);
        writeAll(batched, seed);
        auto writeAllKeys = [](ProfileStore &store, const QString &path, int round) {
            for (int s = 0; s < 8; ++s) {
                for (int k = 0; k < 34; ++k) {
                    const QByteArray section = "ENCODER" + QByteArray::number(s);
                    const QByteArray key = (k % 2 ? "key" : "KEY") + QByteArray::number(k);
                    QVERIFY(store.writeText(path, section, key, QByteArray::number(s * k + round)));
                }
            }
        };
        {
            ProfileStore store;
            writeAllKeys(store, single, 0);
            writeAllKeys(store, single, 1);
        }
        {
            ProfileStore store;
            ProfileBatch batch(store);
            writeAllKeys(store, batched, 0);
            QCOMPARE(store.readText(batched, "encoder7", "KEY33"), QByteArray::number(7 * 33));
            QCOMPARE(readAll(batched), seed); // nothing saved before the batch ends
            writeAllKeys(store, batched, 1);
        }
        QCOMPARE(readAll(batched), readAll(single));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files).size(), 2); // no temporary files left
    }

    // Another writer (a download) replacing the file is seen at the next read.
    void replacedFileIsReadAgain()
    {
        writeAll(m_path, "[a]\nk=1\n");
        ProfileStore store;
        QCOMPARE(store.readInt(m_path, "a", "k", 0), 1);
        const QString other = m_dir->filePath(QStringLiteral("other.ini"));
        writeAll(other, "[a]\nk=2\n");
        QVERIFY(QFile::remove(m_path));
        QVERIFY(QFile::rename(other, m_path));
        QCOMPARE(store.readInt(m_path, "a", "k", 0), 2);
        QVERIFY(QFile::remove(m_path));
        QCOMPARE(store.readInt(m_path, "a", "k", 0), 0);
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

QTEST_GUILESS_MAIN(TestProfile)
#include "tst_profile.moc"
