#include "hostlink/wire.h"

#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QtEndian>

#include <algorithm>
#include <vector>

namespace quillon::wire {

namespace {

// Appends big-endian fields to a payload.
class Writer
{
public:
    void u8(std::uint8_t value) { m_bytes.append(char(value)); }
    void u16(std::uint16_t value)
    {
        char buffer[2];
        qToBigEndian(value, buffer);
        m_bytes.append(buffer, 2);
    }
    void u32(std::uint32_t value)
    {
        char buffer[4];
        qToBigEndian(value, buffer);
        m_bytes.append(buffer, 4);
    }
    void u64(std::uint64_t value)
    {
        char buffer[8];
        qToBigEndian(value, buffer);
        m_bytes.append(buffer, 8);
    }
    void raw(QByteArrayView bytes) { m_bytes.append(bytes); }
    // A text preceded by its 16-bit length.
    void text(QByteArrayView bytes)
    {
        u16(std::uint16_t(std::min<qsizetype>(bytes.size(), 0xFFFF)));
        raw(bytes.first(std::min<qsizetype>(bytes.size(), 0xFFFF)));
    }
    QByteArray take() { return std::move(m_bytes); }

private:
    QByteArray m_bytes;
};

// Reads big-endian fields from a payload. Every read checks the bytes left; after the first
// failed read ok() stays false and every further read yields zero or empty.
class Reader
{
public:
    explicit Reader(QByteArrayView bytes) : m_bytes(bytes) { }

    bool ok() const { return m_ok; }
    bool atEnd() const { return m_ok && m_pos == m_bytes.size(); }

    std::uint8_t u8()
    {
        const QByteArrayView field = take(1);
        return field.isEmpty() ? 0 : std::uint8_t(field[0]);
    }
    std::uint16_t u16()
    {
        const QByteArrayView field = take(2);
        return field.isEmpty() ? 0 : qFromBigEndian<std::uint16_t>(field.data());
    }
    std::uint32_t u32()
    {
        const QByteArrayView field = take(4);
        return field.isEmpty() ? 0 : qFromBigEndian<std::uint32_t>(field.data());
    }
    std::uint64_t u64()
    {
        const QByteArrayView field = take(8);
        return field.isEmpty() ? 0 : qFromBigEndian<std::uint64_t>(field.data());
    }
    QByteArray raw(qsizetype size) { return take(size).toByteArray(); }
    QByteArray rest() { return take(m_bytes.size() - m_pos).toByteArray(); }
    // A length-prefixed text of minBytes..maxBytes bytes.
    QByteArray text(qsizetype minBytes, qsizetype maxBytes)
    {
        const qsizetype size = u16();
        if (size < minBytes || size > maxBytes)
            m_ok = false;
        return raw(size);
    }

private:
    QByteArrayView take(qsizetype size)
    {
        if (!m_ok || size < 0 || size > m_bytes.size() - m_pos) {
            m_ok = false;
            return {};
        }
        const QByteArrayView field = m_bytes.sliced(m_pos, size);
        m_pos += size;
        return field;
    }

    QByteArrayView m_bytes;
    qsizetype m_pos = 0;
    bool m_ok = true;
};

template<typename Message> std::optional<Message> finished(const Reader &reader, Message message)
{
    if (!reader.atEnd())
        return std::nullopt;
    return message;
}

// A message whose payload is one length-prefixed text.
QByteArray textPayload(QByteArrayView text)
{
    Writer writer;
    writer.text(text);
    return writer.take();
}

template<typename Message>
std::optional<Message> parseText(
    QByteArrayView payload, qsizetype minBytes, qsizetype maxBytes, QByteArray Message::*field)
{
    Reader reader(payload);
    Message message;
    message.*field = reader.text(minBytes, maxBytes);
    return finished(reader, message);
}

// A message whose payload is one field of exactly that many bytes.
template<typename Message>
std::optional<Message> parseFixedBytes(
    QByteArrayView payload, qsizetype bytes, QByteArray Message::*field)
{
    Reader reader(payload);
    Message message;
    message.*field = reader.raw(bytes);
    return finished(reader, message);
}

} // namespace

qsizetype maxPayloadFor(std::uint16_t type)
{
    constexpr qsizetype textField = 2 + kMaxPathBytes;
    switch (MessageType(type)) {
    case MessageType::LoginHello:
        return 2 + kMaxUserNameBytes;
    case MessageType::LoginChallenge:
        return kNonceBytes;
    case MessageType::LoginProof:
        return kDigestBytes;
    case MessageType::LoginResult:
        return 1 + kTokenBytes;
    case MessageType::SessionOpen:
        return kTokenBytes;
    case MessageType::Status:
        return 1;
    case MessageType::FileRequest:
        return textField;
    case MessageType::FileData:
        return 4 + kDigestBytes + kMaxFileBytes;
    case MessageType::FileUpload:
        return textField + 4 + kDigestBytes + kMaxFileBytes;
    case MessageType::SetRequest:
        return 0;
    case MessageType::SetInfo:
        return 8 + 8 + 2 + kMaxUserNameBytes;
    case MessageType::BasedCommand:
        return 8 + kMaxCommandBytes;
    case MessageType::Command:
        return kMaxCommandBytes;
    }
    return -1;
}

static_assert(2 + kMaxPathBytes + 4 + kDigestBytes + kMaxFileBytes <= kMaxFramePayload);
static_assert(2 + kMaxUserNameBytes <= kMaxControlPayload);

namespace {

QByteArray encodeFrameOfVersion(std::uint16_t version, MessageType type, QByteArrayView payload)
{
    if (payload.size() > maxPayloadFor(std::uint16_t(type)))
        return {};
    Writer writer;
    writer.u32(kMagic);
    writer.u16(version);
    writer.u16(std::uint16_t(type));
    writer.u32(std::uint32_t(payload.size()));
    writer.raw(payload);
    return writer.take();
}

} // namespace

QByteArray encodeFrame(MessageType type, QByteArrayView payload)
{
    return encodeFrameOfVersion(kVersion, type, payload);
}

QByteArray clearTextVersionRefusal()
{
    return encodeFrameOfVersion(kClearTextVersion, MessageType::Status,
        StatusReply {StatusCode::UnsupportedVersion}.payload());
}

FrameDecoder::FrameDecoder(qsizetype payloadLimit) : m_payloadLimit(payloadLimit)
{
    m_header.reserve(kHeaderSize);
}

void FrameDecoder::setPayloadLimit(qsizetype limit)
{
    m_payloadLimit = limit;
}

qsizetype FrameDecoder::wanted() const
{
    if (m_state != State::NeedMore)
        return 0;
    if (m_payloadSize < 0)
        return kHeaderSize - m_header.size();
    return m_payloadSize - m_payload.size();
}

qsizetype FrameDecoder::feed(QByteArrayView data)
{
    qsizetype taken = 0;
    while (m_state == State::NeedMore && taken < data.size()) {
        const qsizetype chunk = std::min(wanted(), data.size() - taken);
        if (m_payloadSize < 0) {
            m_header.append(data.sliced(taken, chunk));
            taken += chunk;
            if (m_header.size() == kHeaderSize)
                checkHeader();
        } else {
            m_payload.append(data.sliced(taken, chunk));
            taken += chunk;
        }
        if (m_state == State::NeedMore && m_payloadSize >= 0 && m_payload.size() == m_payloadSize)
            m_state = State::FrameReady;
    }
    return taken;
}

void FrameDecoder::checkHeader()
{
    const char *bytes = m_header.constData();
    const std::uint32_t magic = qFromBigEndian<std::uint32_t>(bytes);
    m_version = qFromBigEndian<std::uint16_t>(bytes + 4);
    m_type = qFromBigEndian<std::uint16_t>(bytes + 6);
    const std::uint32_t size = qFromBigEndian<std::uint32_t>(bytes + 8);
    if (magic != kMagic)
        m_error = Error::BadMagic;
    else if (m_version != kVersion)
        m_error = Error::BadVersion;
    else if (maxPayloadFor(m_type) < 0)
        m_error = Error::UnknownType;
    else if (qsizetype(size) > maxPayloadFor(m_type) || qsizetype(size) > m_payloadLimit)
        m_error = Error::TooLarge;
    if (m_error != Error::None) {
        m_state = State::Failed;
        return;
    }
    m_payloadSize = qsizetype(size);
    m_payload.reserve(m_payloadSize);
}

Frame FrameDecoder::takeFrame()
{
    if (m_state != State::FrameReady)
        return {};
    Frame frame {MessageType(m_type), std::move(m_payload)};
    m_header.clear();
    m_payload = QByteArray();
    m_payloadSize = -1;
    m_state = State::NeedMore;
    return frame;
}

QByteArray LoginHello::payload() const
{
    return textPayload(userName);
}

std::optional<LoginHello> LoginHello::parse(QByteArrayView payload)
{
    return parseText(payload, 0, kMaxUserNameBytes, &LoginHello::userName);
}

QByteArray LoginChallenge::payload() const
{
    return nonce;
}

std::optional<LoginChallenge> LoginChallenge::parse(QByteArrayView payload)
{
    return parseFixedBytes(payload, kNonceBytes, &LoginChallenge::nonce);
}

QByteArray LoginProof::payload() const
{
    return proof;
}

std::optional<LoginProof> LoginProof::parse(QByteArrayView payload)
{
    return parseFixedBytes(payload, kDigestBytes, &LoginProof::proof);
}

QByteArray LoginResult::payload() const
{
    Writer writer;
    writer.u8(std::uint8_t(code));
    if (code == LoginCode::Accepted)
        writer.raw(token);
    return writer.take();
}

std::optional<LoginResult> LoginResult::parse(QByteArrayView payload)
{
    Reader reader(payload);
    LoginResult message;
    const std::uint8_t code = reader.u8();
    if (code > std::uint8_t(LoginCode::NotAllowed))
        return std::nullopt;
    message.code = LoginCode(code);
    if (message.code == LoginCode::Accepted)
        message.token = reader.raw(kTokenBytes);
    return finished(reader, message);
}

QByteArray SessionOpen::payload() const
{
    return token;
}

std::optional<SessionOpen> SessionOpen::parse(QByteArrayView payload)
{
    return parseFixedBytes(payload, kTokenBytes, &SessionOpen::token);
}

QByteArray StatusReply::payload() const
{
    return QByteArray(1, char(code));
}

std::optional<StatusReply> StatusReply::parse(QByteArrayView payload)
{
    Reader reader(payload);
    const std::uint8_t code = reader.u8();
    if (code > kLastStatusCode)
        return std::nullopt;
    return finished(reader, StatusReply {StatusCode(code)});
}

QByteArray FileRequest::payload() const
{
    return textPayload(path);
}

std::optional<FileRequest> FileRequest::parse(QByteArrayView payload)
{
    return parseText(payload, 1, kMaxPathBytes, &FileRequest::path);
}

bool FileData::digestMatches() const
{
    return equalInConstantTime(sha256(content), digest);
}

QByteArray FileData::payload() const
{
    Writer writer;
    writer.u32(std::uint32_t(content.size()));
    writer.raw(digest);
    writer.raw(content);
    return writer.take();
}

std::optional<FileData> FileData::parse(QByteArrayView payload)
{
    Reader reader(payload);
    FileData message;
    const std::uint32_t size = reader.u32();
    message.digest = reader.raw(kDigestBytes);
    if (size > std::uint32_t(kMaxFileBytes))
        return std::nullopt;
    message.content = reader.raw(qsizetype(size));
    return finished(reader, message);
}

bool FileUpload::digestMatches() const
{
    return equalInConstantTime(sha256(content), digest);
}

QByteArray FileUpload::payload() const
{
    Writer writer;
    writer.text(path);
    writer.u32(std::uint32_t(content.size()));
    writer.raw(digest);
    writer.raw(content);
    return writer.take();
}

std::optional<FileUpload> FileUpload::parse(QByteArrayView payload)
{
    Reader reader(payload);
    FileUpload message;
    message.path = reader.text(1, kMaxPathBytes);
    const std::uint32_t size = reader.u32();
    message.digest = reader.raw(kDigestBytes);
    if (size > std::uint32_t(kMaxFileBytes))
        return std::nullopt;
    message.content = reader.raw(qsizetype(size));
    return finished(reader, message);
}

QByteArray Command::payload() const
{
    return bytes;
}

std::optional<Command> Command::parse(QByteArrayView payload)
{
    if (payload.isEmpty() || payload.size() > kMaxCommandBytes)
        return std::nullopt;
    return Command {payload.toByteArray()};
}

QByteArray loginProof(
    const QByteArray &password, const QByteArray &nonce, const QByteArray &userName)
{
    QMessageAuthenticationCode mac(QCryptographicHash::Sha256, password);
    mac.addData(kLoginLabel, qsizetype(sizeof(kLoginLabel) - 1));
    mac.addData(nonce);
    mac.addData(userName);
    return mac.result();
}

QByteArray SetRequest::payload() const
{
    return {};
}

std::optional<SetRequest> SetRequest::parse(QByteArrayView payload)
{
    if (!payload.isEmpty())
        return std::nullopt;
    return SetRequest {};
}

QByteArray SetInfo::payload() const
{
    Writer writer;
    writer.u64(generation);
    writer.u64(appliedAt);
    writer.text(user);
    return writer.take();
}

std::optional<SetInfo> SetInfo::parse(QByteArrayView payload)
{
    Reader reader(payload);
    SetInfo info;
    info.generation = reader.u64();
    info.appliedAt = reader.u64();
    info.user = reader.text(0, kMaxUserNameBytes);
    return finished(reader, info);
}

QByteArray BasedCommand::payload() const
{
    Writer writer;
    writer.u64(baseGeneration);
    writer.raw(bytes);
    return writer.take();
}

std::optional<BasedCommand> BasedCommand::parse(QByteArrayView payload)
{
    Reader reader(payload);
    BasedCommand command;
    command.baseGeneration = reader.u64();
    command.bytes = reader.rest();
    if (!reader.ok() || command.bytes.isEmpty() || command.bytes.size() > kMaxCommandBytes)
        return std::nullopt;
    return command;
}

QByteArray sha256(QByteArrayView bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

QByteArray randomBytes(qsizetype count)
{
    std::vector<quint32> words(size_t((count + 3) / 4));
    QRandomGenerator::system()->fillRange(words.data(), qsizetype(words.size()));
    return QByteArray(reinterpret_cast<const char *>(words.data()), count);
}

bool equalInConstantTime(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    unsigned char difference = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

} // namespace quillon::wire
