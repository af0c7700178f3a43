#include "identity.h"

#include "platform/atomicfile.h"

#include <QFile>

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>

#include <memory>
#include <sys/stat.h>

namespace quillon::dvrd {

namespace {

constexpr qint64 kMaxIdentityBytes = 64 * 1024;
// The certificate only carries the key whose fingerprint clients pin; it need not expire.
constexpr int kValidityDays = 100 * 365;

template<auto Free> struct Deleter
{
    template<typename T> void operator()(T *pointer) const { Free(pointer); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY_free>>;
using CertificatePtr = std::unique_ptr<X509, Deleter<X509_free>>;
using BioPtr = std::unique_ptr<BIO, Deleter<BIO_free>>;

// A new key and its self-signed certificate as one PEM text; empty on failure.
QByteArray newIdentityPem()
{
    const KeyPtr key(EVP_EC_gen("P-256"));
    const CertificatePtr certificate(X509_new());
    if (!key || !certificate)
        return {};
    unsigned char serial[16];
    if (RAND_bytes(serial, sizeof serial) != 1)
        return {};
    serial[0] &= 0x7F; // a positive serial number
    BIGNUM *serialNumber = BN_bin2bn(serial, sizeof serial, nullptr);
    const bool serialSet = serialNumber
        && BN_to_ASN1_INTEGER(serialNumber, X509_get_serialNumber(certificate.get())) != nullptr;
    BN_free(serialNumber);
    X509_NAME *name = X509_get_subject_name(certificate.get());
    if (!serialSet || X509_set_version(certificate.get(), 2) != 1
        || !X509_gmtime_adj(X509_getm_notBefore(certificate.get()), 0)
        || !X509_time_adj_ex(X509_getm_notAfter(certificate.get()), kValidityDays, 0, nullptr)
        || X509_NAME_add_entry_by_txt(
               name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char *>("dvrd"), -1, -1, 0)
            != 1
        || X509_set_issuer_name(certificate.get(), name) != 1
        || X509_set_pubkey(certificate.get(), key.get()) != 1
        || X509_sign(certificate.get(), key.get(), EVP_sha256()) <= 0)
        return {};

    const BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio
        || PEM_write_bio_PrivateKey(bio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr)
            != 1
        || PEM_write_bio_X509(bio.get(), certificate.get()) != 1)
        return {};
    char *data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return size > 0 ? QByteArray(data, qsizetype(size)) : QByteArray();
}

} // namespace

std::optional<wire::TlsIdentity> loadOrCreateIdentity(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.exists()) {
        const QByteArray pem = newIdentityPem();
        const std::optional<QString> failure = pem.isEmpty()
            ? std::optional(QStringLiteral("no key was made"))
            : platform::writeFileAtomically(path, pem, platform::Durability::Synced, 0600);
        if (failure) {
            *error = QStringLiteral("cannot create the identity %1: %2").arg(path, *failure);
            return std::nullopt;
        }
    }
    // The key proves the server to every client: a copy readable by others could impersonate it.
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) == 0
        && (info.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        *error = QStringLiteral("refusing the identity %1: group or others may read it (chmod 600 "
                                "it, and replace it if others may have copied the key)")
                     .arg(path);
        return std::nullopt;
    }
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxIdentityBytes) {
        *error = QStringLiteral("cannot read the identity %1").arg(path);
        return std::nullopt;
    }
    const std::optional<wire::TlsIdentity> identity = wire::parseIdentity(file.readAll());
    if (!identity)
        *error = QStringLiteral("%1 holds no key with its certificate").arg(path);
    return identity;
}

} // namespace quillon::dvrd
