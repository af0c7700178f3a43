#pragma once

// A setup window over a work folder of its own, for the motion, camera and sensor page tests:
// settings files are written as bytes before the window is shown and read back as bytes.

#include "editor/sysset.h"
#include "settings/profilestore.h"
#include "settings/settingsfiles.h"
#include "support/storedvalue.h"
#include "support/widgetdriver.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class AlarmFixture
{
public:
    AlarmFixture()
    {
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_data.path()));
        qputenv("LC_ALL", "zh_CN.UTF-8");
        QDir().mkpath(quillon::settings::workFolderPath());
    }

    static QString path(const char *name)
    {
        return quillon::settings::workFolderPath() + QLatin1String(name);
    }

    static void write(const char *name, const QByteArray &bytes)
    {
        QFile file(path(name));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    static QByteArray read(const char *name)
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    // One stored value, or kMissingKey.
    static QByteArray value(const char *name, const char *section, const char *key)
    {
        return storedValue(path(name), section, key);
    }

    // The system options with the channel and sensor counts, plus any further lines.
    static void writeSystem(int channels, int sensors, const QByteArray &sensorOptions = {})
    {
        write("SysSet.Ext",
            "[System Options]\r\nMaxRecCount=" + QByteArray::number(channels)
                + "\r\n[Sensor Options]\r\nAlarmDevChn=" + QByteArray::number(sensors) + "\r\n"
                + sensorOptions);
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

private:
    QTemporaryDir m_data;
};
