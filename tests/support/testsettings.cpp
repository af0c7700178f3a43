#include "support/testsettings.h"

#include "support/dvrdprocess.h"

#include <QDir>
#include <QFile>

namespace {

constexpr int kRecordSize = 112;
constexpr int kPasswordOffset = 32;
constexpr int kPrivilegeOffset = 64;
constexpr int kPreviewOffset = 76;

QByteArray binaryProfile(const QByteArray &section, int extra)
{
    QByteArray content = "[" + section
        + "]\r\nName=\xC9\xE3\xCF\xF1\xBB\xFA"
          "1\r\n";
    for (int i = 0; i < 64 + extra; ++i)
        content.append(char((i * 37 + extra) & 0xFF));
    content.append("\r\nTail=\\\\\r\n");
    content.append('\0');
    content.append('\xFF');
    return content;
}

} // namespace

QByteArray userRecordBytes(
    const QByteArray &name, const QByteArray &password, const QList<int> &privileges)
{
    QByteArray record(kRecordSize, '\0');
    record.replace(0, name.size(), name);
    record.replace(kPasswordOffset, password.size(), password);
    for (const int number : privileges)
        record[kPrivilegeOffset + number - 1] = 1;
    for (int channel = 0; channel < 16; ++channel)
        record[kPreviewOffset + channel] = 1;
    return record;
}

QByteArray gbkSetterName()
{
    return QByteArray("\xD6\xB5\xB0\xE0\xD4\xB1");
}

QList<TestSettingsFile> testSettingsFiles()
{
    const QList<int> allButSystemSettings {1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    const QByteArray users = userRecordBytes(kSetterName, kSetterPassword, {2, 3})
        + userRecordBytes(kViewerName, kViewerPassword, allButSystemSettings)
        + userRecordBytes(gbkSetterName(), kGbkSetterPassword, {2});
    return {
        {"User\\User.she", QStringLiteral("User/User.she"), users},
        {"SysConfig\\SysSet.Ext", QStringLiteral("SysConfig/SysSet.Ext"),
            binaryProfile("System Options", 1)},
        {"SysConfig\\TVCard.Ext", QStringLiteral("SysConfig/TVCard.Ext"),
            binaryProfile("ENCODER0", 20000)},
        {"SysConfig\\AlarmSet.Ext", QStringLiteral("SysConfig/AlarmSet.Ext"),
            binaryProfile("ALARM MOTION0", 3)},
        {"SysConfig\\AlarmCard.ext", QStringLiteral("SysConfig/AlarmCard.ext"),
            binaryProfile("AlarmCard", 4)},
        {"SysConfig\\SensorSet.Ext", QStringLiteral("SysConfig/SensorSet.Ext"),
            binaryProfile("SENSOR0", 5)},
        {"SysConfig\\CameraSet.Ext", QStringLiteral("SysConfig/CameraSet.Ext"),
            binaryProfile("Camera Options", 6)},
        {"SysConfig\\SMSSet.ext", QStringLiteral("SysConfig/SMSSet.ext"), QByteArray()},
        {"SysConfig\\Profile.ext", QStringLiteral("SysConfig/Profile.ext"),
            binaryProfile("Profile", 8)},
    };
}

bool writeTestSettings(const QString &root)
{
    if (!makeServerRoot(root))
        return false;
    for (const TestSettingsFile &file : testSettingsFiles()) {
        if (!writeFile(QDir(root).filePath(file.relativePath), file.content))
            return false;
    }
    return true;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(content) == content.size();
}
