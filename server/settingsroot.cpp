#include "settingsroot.h"

#include "settings/userrecords.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace quillon::dvrd {

using settings::SettingsFile;
using wire::StatusCode;

SettingsRoot::SettingsRoot(
    const QString &root, const QByteArray &adminName, const QByteArray &adminPassword)
    : m_root(QDir(root).absolutePath()), m_adminName(adminName), m_adminPassword(adminPassword)
{ }

std::optional<Account> SettingsRoot::account(const QByteArray &name) const
{
    if (name == m_adminName)
        return Account {m_adminPassword, true};
    const QString path = filePath(SettingsFile::User);
    if (QFileInfo(path).size() > wire::kMaxFileBytes)
        return std::nullopt;
    const settings::UserRecords records = settings::readUsersFile(path);
    const int index = settings::findUserByName(records, name);
    if (index < 0)
        return std::nullopt;
    const settings::UserRecord &record = records[size_t(index)];
    return Account {record.password(), record.privilege(settings::UserRecord::kSystemSettings)};
}

StatusCode SettingsRoot::read(SettingsFile file, QByteArray *content) const
{
    QFile source(filePath(file));
    if (!source.exists())
        return StatusCode::NotFound;
    if (!source.open(QIODevice::ReadOnly) || source.size() > wire::kMaxFileBytes)
        return StatusCode::StorageFailed;
    const qint64 size = source.size();
    *content = source.read(size);
    if (content->size() != size)
        return StatusCode::StorageFailed;
    return StatusCode::Ok;
}

QString SettingsRoot::applyLogPath() const
{
    return m_root + QStringLiteral("/apply.log");
}

QString SettingsRoot::folderPath(SettingsFile file) const
{
    QString folder = QString::fromLatin1(settings::fileInfo(file).remoteFolder);
    folder.chop(1); // the remote folder ends with a backslash
    return m_root + QLatin1Char('/') + folder + QLatin1Char('/');
}

QString SettingsRoot::filePath(SettingsFile file) const
{
    return settings::findFileNoCase(
        folderPath(file), QString::fromLatin1(settings::fileInfo(file).name));
}

} // namespace quillon::dvrd
