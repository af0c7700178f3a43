#pragma once

#include "hostlink/tlssetup.h"

#include <QString>

#include <optional>

namespace quillon::dvrd {

// The server's TLS identity from the PEM file at path. A missing file is created first: a new
// P-256 key and a self-signed certificate for it, written with mode 0600. On failure, error says
// why.
std::optional<wire::TlsIdentity> loadOrCreateIdentity(const QString &path, QString *error);

} // namespace quillon::dvrd
