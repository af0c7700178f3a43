#pragma once

// A setup window over a copy of the sample server's files in a temporary work folder, with
// every message box it opens noted and answered.

#include "editor/sysset.h"
#include "settings/settingsfiles.h"
#include "support/widgetdriver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <deque>
#include <memory>

// Notes the text of each message box that opens and answers it: with the next queued button,
// else with OK or No, so that no box can stall a test.
class BoxAnswers
{
public:
    BoxAnswers()
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { answerOpenBox(); });
        m_timer.start();
    }

    void queue(QMessageBox::StandardButton button) { m_answers.push_back(button); }
    void clear()
    {
        m_texts.clear();
        m_answers.clear();
    }
    QStringList takeTexts() { return std::exchange(m_texts, {}); }

private:
    void answerOpenBox()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        m_texts << box->text();
        QMessageBox::StandardButton button
            = box->button(QMessageBox::Ok) ? QMessageBox::Ok : QMessageBox::No;
        if (!m_answers.empty()) {
            button = m_answers.front();
            m_answers.pop_front();
        }
        box->button(button)->click();
    }

    QTimer m_timer;
    QStringList m_texts;
    std::deque<QMessageBox::StandardButton> m_answers;
};

inline QByteArray bytesOf(const QString &path)
{
    QFile in(path);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("<missing>");
}

class SystemFixture
{
public:
    // A fresh work folder holding the sample server's nine files, and the given language.
    void prepare(const char *locale)
    {
        boxes.clear();
        m_data = std::make_unique<QTemporaryDir>();
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_data->path()));
        qputenv("LC_ALL", locale);
        m_folder = quillon::settings::workFolderPath();
        QVERIFY(QDir().mkpath(m_folder));
        for (const char *folder : {"/User", "/SysConfig"}) {
            const QDir samples(QStringLiteral(QUILLON_SAMPLES_DIR) + QLatin1String(folder));
            for (const QFileInfo &file : samples.entryInfoList(QDir::Files))
                QVERIFY(QFile::copy(file.filePath(), m_folder + file.fileName()));
        }
    }

    QString path(quillon::settings::SettingsFile file) const
    {
        return quillon::settings::localPath(m_folder, file);
    }

    QByteArray read(quillon::settings::SettingsFile file) const { return bytesOf(path(file)); }

    void write(quillon::settings::SettingsFile file, const QByteArray &bytes) const
    {
        QFile out(path(file));
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(bytes);
    }

    // The sample server's system options.
    static QByteArray sampleSysSet()
    {
        return bytesOf(QStringLiteral(QUILLON_SAMPLES_DIR "/SysConfig/SysSet.Ext"));
    }

    std::unique_ptr<quillon::editor::TSysSetForm> show()
    {
        auto form = std::make_unique<quillon::editor::TSysSetForm>();
        form->show();
        return form;
    }

    BoxAnswers boxes;

private:
    std::unique_ptr<QTemporaryDir> m_data;
    QString m_folder;
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
