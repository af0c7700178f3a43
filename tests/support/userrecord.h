#pragma once

// A user record with a name and a password, as tests build them.

#include "settings/userrecords.h"

inline quillon::settings::UserRecord userRecord(const QByteArray &name, const QByteArray &password)
{
    quillon::settings::UserRecord user;
    user.setName(name);
    user.setPassword(password);
    return user;
}
