#pragma once

// How every test reads one key of a settings file: as the server would read it, with one
// sentinel for a key the file lacks.

#include "settings/profilestore.h"

#include <QByteArray>
#include <QString>

// What storedValue gives for a missing key: no stored value can look like it.
inline const QByteArray kMissingKey = QByteArrayLiteral("<missing key>");

inline QByteArray storedValue(const QString &path, QByteArrayView section, QByteArrayView key)
{
    quillon::settings::ProfileStore store;
    return store.readText(path, section, key, kMissingKey);
}
