#include "hostlink/tlssetup.h"

#include "platform/atomicfile.h"

#include <QCryptographicHash>

namespace quillon::wire {

std::optional<TlsIdentity> parseIdentity(const QByteArray &pem)
{
    const QList<QSslCertificate> certificates = QSslCertificate::fromData(pem, QSsl::Pem);
    if (certificates.isEmpty() || certificates.first().isNull())
        return std::nullopt;
    const QSslCertificate &certificate = certificates.first();
    const QSsl::KeyAlgorithm algorithm = certificate.publicKey().algorithm();
    const QSslKey key(pem, algorithm, QSsl::Pem, QSsl::PrivateKey);
    if (key.isNull())
        return std::nullopt;
    return TlsIdentity {key, certificate};
}

QByteArray fingerprint(const QSslCertificate &certificate)
{
    return certificate.digest(QCryptographicHash::Sha256).toHex();
}

namespace {

QSslConfiguration tls13Only()
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setProtocol(QSsl::TlsV1_3OrLater);
    // No authority vouches for a recording server; loading the system's store would only cost
    // time.
    configuration.setCaCertificates({});
    return configuration;
}

} // namespace

QSslConfiguration serverTlsConfiguration(const TlsIdentity &identity)
{
    QSslConfiguration configuration = tls13Only();
    configuration.setPrivateKey(identity.key);
    configuration.setLocalCertificate(identity.certificate);
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    return configuration;
}

QSslConfiguration clientTlsConfiguration()
{
    QSslConfiguration configuration = tls13Only();
    // The certificate is self-signed; the caller compares its fingerprint with the pinned one.
    configuration.setPeerVerifyMode(QSslSocket::QueryPeer);
    return configuration;
}

bool writePrivateFile(const QString &path, const QByteArray &content)
{
    return !platform::writeFileAtomically(path, content, platform::Durability::Synced, 0600);
}

} // namespace quillon::wire
