#pragma once

// TLS for the wire protocol: both ends speak TLS 1.3 only. The client does not check the
// server's certificate against any authority (servers identify themselves with a self-signed
// certificate); it pins the certificate's fingerprint instead.

#include <QByteArray>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QString>

#include <optional>

namespace quillon::wire {

// A server's identity: its private key and the self-signed certificate of that key.
struct TlsIdentity
{
    QSslKey key;
    QSslCertificate certificate;
};

// The key and certificate of a PEM text holding both; nothing when either is missing or the
// certificate is not for that key's type.
std::optional<TlsIdentity> parseIdentity(const QByteArray &pem);

// The SHA-256 of the certificate's DER form, as 64 lower-case hex digits.
QByteArray fingerprint(const QSslCertificate &certificate);

QSslConfiguration serverTlsConfiguration(const TlsIdentity &identity);
QSslConfiguration clientTlsConfiguration();

// Replaces the file atomically with content that only its owner may read (mode 0600 from the
// first byte written). False when it could not be written whole.
bool writePrivateFile(const QString &path, const QByteArray &content);

} // namespace quillon::wire
