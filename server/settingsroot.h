#pragma once

#include "hostlink/wire.h"
#include "settings/settingsfiles.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace quillon::dvrd {

struct Account
{
    QByteArray password;
    bool maySetUp = false; // the system-settings privilege
};

// The configuration root a server keeps: User/User.she and SysConfig/ with the other eight
// settings files, and the log of applied configurations.
class SettingsRoot
{
public:
    SettingsRoot(const QString &root, const QByteArray &adminName, const QByteArray &adminPassword);

    const QString &root() const { return m_root; }

    // The built-in administrator (every privilege), else the account of that name in the user
    // file, read afresh so that changes take effect at the next login.
    std::optional<Account> account(const QByteArray &name) const;

    // The file's current content; NotFound, or StorageFailed when unreadable or oversized.
    wire::StatusCode read(settings::SettingsFile file, QByteArray *content) const;

    QString applyLogPath() const;

    // The file on disk: an existing spelling of the name in any letter case, else the name as
    // the settings table gives it.
    QString filePath(settings::SettingsFile file) const;

private:
    QString folderPath(settings::SettingsFile file) const;

    QString m_root;
    QByteArray m_adminName;
    QByteArray m_adminPassword;
};

} // namespace quillon::dvrd
