#include "settings/settingsfiles.h"

#include "platform/platform.h"

#include <QDir>
#include <QFile>

namespace quillon::settings {

namespace {

constexpr const char *kUserFolder = "User\\";
constexpr const char *kConfigFolder = "SysConfig\\";

constexpr std::array<SettingsFileInfo, 9> kFiles {{
    {SettingsFile::User, kUserFolder, "User.she", true},
    {SettingsFile::SysSet, kConfigFolder, "SysSet.Ext", true},
    {SettingsFile::TVCard, kConfigFolder, "TVCard.Ext", true},
    {SettingsFile::AlarmSet, kConfigFolder, "AlarmSet.Ext", true},
    {SettingsFile::AlarmCard, kConfigFolder, "AlarmCard.ext", true},
    {SettingsFile::SensorSet, kConfigFolder, "SensorSet.Ext", true},
    {SettingsFile::CameraSet, kConfigFolder, "CameraSet.Ext", true},
    {SettingsFile::SMSSet, kConfigFolder, "SMSSet.ext", true},
    {SettingsFile::Profile, kConfigFolder, "Profile.ext", false},
}};

constexpr std::array kUploadOrder {
    SettingsFile::User,
    SettingsFile::SysSet,
    SettingsFile::TVCard,
    SettingsFile::AlarmSet,
    SettingsFile::AlarmCard,
    SettingsFile::SensorSet,
    SettingsFile::CameraSet,
    SettingsFile::SMSSet,
};

} // namespace

std::span<const SettingsFileInfo> settingsFiles()
{
    return kFiles;
}

const SettingsFileInfo &fileInfo(SettingsFile file)
{
    return kFiles[size_t(file)];
}

std::span<const SettingsFile> uploadOrder()
{
    return kUploadOrder;
}

QByteArray remotePath(SettingsFile file)
{
    const SettingsFileInfo &info = fileInfo(file);
    return QByteArray(info.remoteFolder) + info.name;
}

bool fileForRemotePath(const QByteArray &path, SettingsFile *file)
{
    QByteArray normalised = path;
    normalised.replace('/', '\\');
    for (const SettingsFileInfo &info : kFiles) {
        if (normalised.compare(remotePath(info.file), Qt::CaseInsensitive) == 0) {
            if (file)
                *file = info.file;
            return true;
        }
    }
    return false;
}

QString findFileNoCase(const QString &folder, const QString &name)
{
    const QString exact = folder + name;
    if (QFile::exists(exact))
        return exact;
    const QStringList entries = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return folder + entry;
    }
    return exact;
}

QString localPath(const QString &workFolder, SettingsFile file)
{
    return findFileNoCase(workFolder, QString::fromLatin1(fileInfo(file).name));
}

std::optional<SettingsFile> removeLocalCopies(const QString &workFolder)
{
    const QStringList entries = QDir(workFolder)
                                    .entryList(QDir::Files | QDir::Hidden | QDir::System
                                        | QDir::Dirs | QDir::NoDotAndDotDot);
    std::optional<SettingsFile> remaining;
    for (const SettingsFileInfo &info : settingsFiles()) {
        const QLatin1String name(info.name);
        for (const QString &entry : entries) {
            if (entry.compare(name, Qt::CaseInsensitive) == 0 && !QFile::remove(workFolder + entry)
                && !remaining)
                remaining = info.file;
        }
    }
    return remaining;
}

QString workFolderPath()
{
    QString base = platform::windowsFolder();
    if (base.isEmpty())
        base = platform::executableFolder();
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    return base + QLatin1String("Temp/");
}

QString ensureWorkFolder()
{
    const QString path = workFolderPath();
    if (QDir().mkpath(path))
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

} // namespace quillon::settings
