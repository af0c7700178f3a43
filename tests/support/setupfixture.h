#pragma once

// A setup window over a work folder of its own: the folder starts empty or with the sample
// server's files, settings files are written as bytes before the window is shown and read back
// as bytes, and one key is read as the server would read it.

#include "editor/sysset.h"
#include "settings/settingsfiles.h"
#include "support/storedvalue.h"
#include "support/widgetdriver.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class SetupFixture
{
public:
    // A fresh, empty work folder, and the given language (none: the language stays as it is).
    explicit SetupFixture(const char *locale = "zh_CN.UTF-8")
    {
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_data.path()));
        if (locale)
            qputenv("LC_ALL", locale);
        QDir().mkpath(quillon::settings::workFolderPath());
    }

    // A work folder holding the sample server's nine files, in Chinese.
    static std::unique_ptr<SetupFixture> withSamples()
    {
        auto fixture = std::make_unique<SetupFixture>();
        copySamples();
        return fixture;
    }

    // The sample server's nine files in the work folder.
    static void copySamples()
    {
        for (const char *folder : {"/User", "/SysConfig"}) {
            const QDir samples(QStringLiteral(QUILLON_SAMPLES_DIR) + QLatin1String(folder));
            for (const QFileInfo &file : samples.entryInfoList(QDir::Files))
                QVERIFY(QFile::copy(file.filePath(), path(file.fileName())));
        }
    }

    static QString path(const QString &name) { return quillon::settings::workFolderPath() + name; }
    static QString path(const char *name) { return path(QLatin1String(name)); }
    static QString path(quillon::settings::SettingsFile file)
    {
        return quillon::settings::localPath(quillon::settings::workFolderPath(), file);
    }

    template<class File> static void write(File file, const QByteArray &bytes)
    {
        QFile out(path(file));
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(out.write(bytes), bytes.size());
    }

    template<class File> static QByteArray read(File file) { return bytesOf(path(file)); }

    // One stored value, or kMissingKey.
    static QByteArray value(const char *name, QByteArrayView section, QByteArrayView key)
    {
        return storedValue(path(name), section, key);
    }

    // The system options with the channel and sensor counts, plus any further lines of the
    // sensor options.
    static void writeSystem(int channels, int sensors, const QByteArray &sensorOptions = {})
    {
        write("SysSet.Ext",
            "[System Options]\r\nMaxRecCount=" + QByteArray::number(channels)
                + "\r\n[Sensor Options]\r\nAlarmDevChn=" + QByteArray::number(sensors) + "\r\n"
                + sensorOptions);
    }

    // A first sensor that records on no alarm: its load at show then asks nothing.
    static void writeQuietFirstSensor() { write("SensorSet.Ext", "[SENSOR0]\r\nStartupRec=0\r\n"); }

    // The sample server's system options.
    static QByteArray sampleSysSet()
    {
        return bytesOf(QStringLiteral(QUILLON_SAMPLES_DIR "/SysConfig/SysSet.Ext"));
    }

    static std::unique_ptr<quillon::editor::TSysSetForm> showForm()
    {
        auto form = std::make_unique<quillon::editor::TSysSetForm>();
        form->show();
        return form;
    }

    static bool applyEnabled(QWidget *form)
    {
        return control<QAbstractButton>(form, "ApplyBitBtn")->isEnabled();
    }

    // The operator ticks a box and unticks it again: a change by the change rule that leaves
    // every setting as it was.
    static void touch(QWidget *form) { noteAChange(form); }

    // Apply after a change, so that Apply is on and saves every page.
    static void apply(QWidget *form)
    {
        noteAChange(form);
        pressApply(form);
    }

    static QByteArray bytesOf(const QString &path)
    {
        QFile in(path);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("<missing>");
    }

private:
    QTemporaryDir m_data;
};

// Replaces the value of the first line that starts with "key=".
inline QByteArray withValue(QByteArray file, const QByteArray &key, const QByteArray &value)
{
    const qsizetype at = file.indexOf("\n" + key + "=") + 1;
    if (at <= 0)
        return file;
    const qsizetype end = file.indexOf('\r', at);
    return file.replace(at, end - at, key + "=" + value);
}
