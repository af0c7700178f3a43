// The window and the schema agree: every control the schema names exists with the schema's
// range and list, and an edit made in the window reaches the files as the setting the tool
// names after that control.

#include "editor/numberfield.h"
#include "editor/sysset.h"
#include "schema/schema.h"
#include "settings/settingsfiles.h"
#include "support/setupfixture.h"
#include "support/testsettings.h"
#include "tools/quillon/settingsdiff.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <memory>

using namespace quillon;

namespace {

settings::SettingsFileSet workFiles()
{
    settings::SettingsFileSet files;
    for (const settings::SettingsFileInfo &info : settings::settingsFiles())
        files.insert(
            info.file, readFile(settings::localPath(settings::workFolderPath(), info.file)));
    return files;
}

} // namespace

class TestSchemaWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void everyControlHasTheSchemaRangeAndList();
    void switchesShowTheSchemaCaption_data();
    void switchesShowTheSchemaCaption();
    void windowEditIsTheSettingTheToolNames_data();
    void windowEditIsTheSettingTheToolNames();

private:
    std::unique_ptr<SetupFixture> m_fixture;
    settings::SettingsFileSet m_samples;
};

void TestSchemaWindow::init()
{
    m_fixture = std::make_unique<SetupFixture>(nullptr);
    QVERIFY(settings::readSettingsFolder(QStringLiteral(QUILLON_SAMPLES_DIR), &m_samples));
    for (auto it = m_samples.cbegin(); it != m_samples.cend(); ++it)
        SetupFixture::write(it.key(), it.value());
}

void TestSchemaWindow::everyControlHasTheSchemaRangeAndList()
{
    // Not shown: the port rule would take a port out of the lists that share them.
    editor::TSysSetForm form;
    int checked = 0;
    for (const schema::TableOf table : schema::settingTables()) {
        for (const schema::Setting &setting : table()) {
            if (!*setting.control)
                continue;
            QWidget *control = form.findChild<QWidget *>(QLatin1String(setting.control));
            QVERIFY2(control, setting.control);
            ++checked;
            if (setting.kind == schema::Kind::Number && setting.hasRange()) {
                if (auto *field = qobject_cast<editor::NumberField *>(control)) {
                    QCOMPARE(field->minimum(), setting.minimum);
                    QCOMPARE(field->maximum(), setting.maximum);
                } else if (auto *slider = qobject_cast<QSlider *>(control)) {
                    QCOMPARE(slider->minimum(), setting.minimum);
                    QCOMPARE(slider->maximum(), setting.maximum);
                }
            }
            auto *list = qobject_cast<QComboBox *>(control);
            if (setting.kind == schema::Kind::Choice && list && !setting.choices.empty())
                QCOMPARE(qsizetype(list->count()), qsizetype(setting.choices.size()));
        }
    }
    QVERIFY(checked > 80);
}

void TestSchemaWindow::switchesShowTheSchemaCaption_data()
{
    QTest::addColumn<QByteArray>("locale");
    QTest::newRow("zh") << QByteArray("zh_CN.UTF-8");
    QTest::newRow("en") << QByteArray("en_US.UTF-8");
}

// A check box's caption is the setting's caption (the tool's name for it), up to blanks and a
// closing colon.
void TestSchemaWindow::switchesShowTheSchemaCaption()
{
    QFETCH(QByteArray, locale);
    qputenv("LC_ALL", locale);
    editor::TSysSetForm form;
    qunsetenv("LC_ALL");
    const bool chinese = locale.startsWith("zh");
    const auto bare = [](QString text) {
        text = text.trimmed();
        if (text.endsWith(QLatin1Char(':')) || text.endsWith(QChar(0xFF1A)))
            text.chop(1);
        return text;
    };
    int checked = 0;
    for (const schema::TableOf table : schema::settingTables()) {
        for (const schema::Setting &setting : table()) {
            auto *button = form.findChild<QAbstractButton *>(QLatin1String(setting.control));
            if (setting.kind != schema::Kind::Flag || !button)
                continue;
            QCOMPARE(bare(button->text()), bare(setting.caption.in(chinese)));
            ++checked;
        }
    }
    QVERIFY(checked > 20);
}

void TestSchemaWindow::windowEditIsTheSettingTheToolNames_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("place");
    QTest::newRow("system page") << "seRotateTime"
                                 << "7"
                                 << "System settings / Rotation duration";
    QTest::newRow("network page") << "SpinEdit4"
                                  << "6000"
                                  << "Map and network port / Net transmission port";
    QTest::newRow("video page, first channel") << "SpinEdit1"
                                               << "20"
                                               << "Video settings / Channel 1 / File length";
    QTest::newRow("sensor page, first sensor") << "SpinEdit5"
                                               << "33"
                                               << "Alarm sensor / Sensor 1 / Output time";
}

void TestSchemaWindow::windowEditIsTheSettingTheToolNames()
{
    QFETCH(QString, control);
    QFETCH(QString, typed);
    QFETCH(QString, place);
    editor::TSysSetForm form;
    form.show();
    auto *field = form.findChild<editor::NumberField *>(control);
    QVERIFY(field);
    field->setText(typed);
    form.findChild<QPushButton *>(QStringLiteral("ApplyBitBtn"))->click();

    const QList<tool::Difference> differences = tool::diffSettings(m_samples, workFiles());
    QCOMPARE(differences.size(), 1);
    QCOMPARE(tool::describePlace(differences.first(), false, false), place);
    QCOMPARE(tool::describeValue(differences.first(), false, false, false), typed);
}

QTEST_MAIN(TestSchemaWindow)
#include "tst_schemawindow.moc"
