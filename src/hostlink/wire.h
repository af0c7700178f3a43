#pragma once

// The wire protocol between the host-link library and a recording server (see docs/protocol.md).
// Every message travels in one frame: a 12-byte header (magic, version, type, payload length,
// all big-endian) followed by the payload. Nothing here touches a socket, so the decoder and
// the message parsers are pure functions of the bytes they are given.

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <optional>

namespace quillon::wire {

inline constexpr std::uint32_t kMagic = 0x514C4E4B; // "QLNK"
// Version 2 travels inside TLS 1.3; version 1 was the same framing in clear.
inline constexpr std::uint16_t kVersion = 2;
inline constexpr std::uint16_t kClearTextVersion = 1;
inline constexpr qsizetype kHeaderSize = 12;

// A settings file is a few KiB; the cap leaves ample room and still bounds every buffer.
inline constexpr qsizetype kMaxFileBytes = 4 * 1024 * 1024;
inline constexpr qsizetype kMaxPathBytes = 255;
inline constexpr qsizetype kMaxUserNameBytes = 255;
inline constexpr qsizetype kMaxCommandBytes = 4096;
inline constexpr qsizetype kTokenBytes = 32;
inline constexpr qsizetype kNonceBytes = 32;
inline constexpr qsizetype kDigestBytes = 32;
// Largest payload of any frame: a whole file with its path, size and digest.
inline constexpr qsizetype kMaxFramePayload = kMaxFileBytes + 1024;
// Largest payload a server accepts before the connection holds a session, so an anonymous peer
// cannot make it buffer a file-sized frame.
inline constexpr qsizetype kMaxControlPayload = 512;

// The command that makes the server apply the settings files uploaded in the session.
inline constexpr char kApplyCommand[] = "!!!!APPLY";

// Every wait of the protocol, in milliseconds.
namespace timeouts {
// Client: host lookup and connection together.
inline constexpr int kConnectMs = 3000;
// Client: longest wait for the next byte of a reply (or for the send buffer to drain).
inline constexpr int kStallMs = 5000;
// Client: a whole call (connect, request, reply), so a slow drip cannot hold the caller.
inline constexpr int kOperationMs = 30000;
// Server: a connection that moves no byte for this long is closed.
inline constexpr int kServerIdleMs = 30000;
// Server: a connection must have logged in or opened a session by then, however steadily bytes
// arrive, so that a crowd of slow peers cannot hold the connections operators need.
inline constexpr int kServerLoginMs = 10000;
// Server: the longest a connection may stay open at all.
inline constexpr int kServerConnectionMs = 120000;
// Server: a session unused for this long is forgotten with its staged uploads. A visit uses its
// session within seconds of the login and again at OK; an OK after a longer edit logs in again.
inline constexpr qint64 kSessionIdleMs = 15LL * 60 * 1000;
} // namespace timeouts

enum class MessageType : std::uint16_t {
    LoginHello = 1,
    LoginChallenge = 2,
    LoginProof = 3,
    LoginResult = 4,
    SessionOpen = 5,
    Status = 6,
    FileRequest = 7,
    FileData = 8,
    FileUpload = 9,
    Command = 10,
    SetRequest = 11,
    SetInfo = 12,
    BasedCommand = 13,
};
inline constexpr std::uint16_t kLastMessageType = std::uint16_t(MessageType::BasedCommand);

// The largest payload a frame of that type can have; -1 for a type this version does not know.
qsizetype maxPayloadFor(std::uint16_t type);

// Result codes of a Status reply.
enum class StatusCode : std::uint8_t {
    Ok = 0,
    NoSession = 1, // the token is unknown, expired or bound to another address
    PathRefused = 2, // not one of the nine settings files (or not accepted for upload)
    NotFound = 3, // the server has no such file
    SizeRefused = 4, // too large, or not a whole number of user records
    IntegrityFailed = 5, // size or digest do not match the content
    StorageFailed = 6, // the server could not read or write its file
    UnknownCommand = 7, // a command the server does not carry out
    Malformed = 8, // a frame or message that breaks the protocol
    UnsupportedVersion = 9, // the frame header carried another version
    Busy = 10, // too many connections
    Stale = 11, // an apply based on another generation than the one served; nothing changed
};
inline constexpr std::uint8_t kLastStatusCode = std::uint8_t(StatusCode::Stale);

// Codes of a LoginResult, the same numbers the host-link library returns.
enum class LoginCode : std::uint8_t {
    Accepted = 0,
    UnknownUser = 1,
    WrongPassword = 2,
    NotAllowed = 3,
};

struct Frame
{
    MessageType type = MessageType::Status;
    QByteArray payload;
};

// The complete bytes of one frame; an empty array when the payload exceeds the type's cap.
QByteArray encodeFrame(MessageType type, QByteArrayView payload);

// Status(UnsupportedVersion) in a version 1 frame, the answer a peer that speaks the protocol in
// clear can still read.
QByteArray clearTextVersionRefusal();

// Assembles frames from a byte stream. The header is checked as soon as it is complete, before
// any payload byte is taken, and the decoder never takes more bytes than the current frame
// needs: callers read wanted() bytes, feed them, and collect the frame when one is ready.
class FrameDecoder
{
public:
    enum class State { NeedMore, FrameReady, Failed };
    enum class Error { None, BadMagic, BadVersion, UnknownType, TooLarge };

    explicit FrameDecoder(qsizetype payloadLimit = kMaxFramePayload);

    // Frames above this payload size fail, even when their type would allow them.
    void setPayloadLimit(qsizetype limit);

    State state() const { return m_state; }
    Error error() const { return m_error; }
    // Version of the last header, valid once a header is complete (also after BadVersion).
    std::uint16_t lastVersion() const { return m_version; }

    // Bytes still needed to finish the header or the payload; 0 unless NeedMore.
    qsizetype wanted() const;
    // Takes bytes from the front of data up to the end of the current frame, never beyond it;
    // returns how many it took.
    qsizetype feed(QByteArrayView data);
    // Hands over the ready frame and starts on the next one.
    Frame takeFrame();

private:
    void checkHeader();

    qsizetype m_payloadLimit;
    State m_state = State::NeedMore;
    Error m_error = Error::None;
    QByteArray m_header;
    QByteArray m_payload;
    qsizetype m_payloadSize = -1; // -1 until the header is complete
    std::uint16_t m_type = 0;
    std::uint16_t m_version = 0;
};

// Messages. Each has its frame type, the payload it encodes to, and a strict parser that
// refuses a wrong length, a field out of range or trailing bytes.

struct LoginHello
{
    static constexpr MessageType kType = MessageType::LoginHello;
    QByteArray userName; // at most kMaxUserNameBytes
    QByteArray payload() const;
    static std::optional<LoginHello> parse(QByteArrayView payload);
};

struct LoginChallenge
{
    static constexpr MessageType kType = MessageType::LoginChallenge;
    QByteArray nonce; // kNonceBytes
    QByteArray payload() const;
    static std::optional<LoginChallenge> parse(QByteArrayView payload);
};

struct LoginProof
{
    static constexpr MessageType kType = MessageType::LoginProof;
    QByteArray proof; // kDigestBytes
    QByteArray payload() const;
    static std::optional<LoginProof> parse(QByteArrayView payload);
};

struct LoginResult
{
    static constexpr MessageType kType = MessageType::LoginResult;
    LoginCode code = LoginCode::UnknownUser;
    QByteArray token; // kTokenBytes when accepted, empty otherwise
    QByteArray payload() const;
    static std::optional<LoginResult> parse(QByteArrayView payload);
};

struct SessionOpen
{
    static constexpr MessageType kType = MessageType::SessionOpen;
    QByteArray token; // kTokenBytes
    QByteArray payload() const;
    static std::optional<SessionOpen> parse(QByteArrayView payload);
};

struct StatusReply
{
    static constexpr MessageType kType = MessageType::Status;
    StatusCode code = StatusCode::Ok;
    QByteArray payload() const;
    static std::optional<StatusReply> parse(QByteArrayView payload);
};

struct FileRequest
{
    static constexpr MessageType kType = MessageType::FileRequest;
    QByteArray path; // remote path, 1..kMaxPathBytes
    QByteArray payload() const;
    static std::optional<FileRequest> parse(QByteArrayView payload);
};

// A file's content with its SHA-256; the parser checks the size, digestMatches() the digest.
struct FileData
{
    static constexpr MessageType kType = MessageType::FileData;
    QByteArray content; // at most kMaxFileBytes
    QByteArray digest; // kDigestBytes
    bool digestMatches() const;
    QByteArray payload() const;
    static std::optional<FileData> parse(QByteArrayView payload);
};

struct FileUpload
{
    static constexpr MessageType kType = MessageType::FileUpload;
    QByteArray path;
    QByteArray content;
    QByteArray digest;
    bool digestMatches() const;
    QByteArray payload() const;
    static std::optional<FileUpload> parse(QByteArrayView payload);
};

struct Command
{
    static constexpr MessageType kType = MessageType::Command;
    QByteArray bytes; // 1..kMaxCommandBytes
    QByteArray payload() const;
    static std::optional<Command> parse(QByteArrayView payload);
};

// Asks which set of files the server serves; answered by SetInfo.
struct SetRequest
{
    static constexpr MessageType kType = MessageType::SetRequest;
    QByteArray payload() const;
    static std::optional<SetRequest> parse(QByteArrayView payload);
};

// The served set: the generation of the apply that made it current, when (seconds since the
// epoch, UTC) and by whom. Generation 0, time 0 and no user before any apply.
struct SetInfo
{
    static constexpr MessageType kType = MessageType::SetInfo;
    std::uint64_t generation = 0;
    std::uint64_t appliedAt = 0;
    QByteArray user; // at most kMaxUserNameBytes
    QByteArray payload() const;
    static std::optional<SetInfo> parse(QByteArrayView payload);
};

// A command that says which generation the files it acts on are based on: the server carries
// out an apply only when that generation is still the one served.
struct BasedCommand
{
    static constexpr MessageType kType = MessageType::BasedCommand;
    std::uint64_t baseGeneration = 0;
    QByteArray bytes; // 1..kMaxCommandBytes
    QByteArray payload() const;
    static std::optional<BasedCommand> parse(QByteArrayView payload);
};

template<typename Message> QByteArray encode(const Message &message)
{
    return encodeFrame(Message::kType, message.payload());
}

template<typename Message> std::optional<Message> decode(const Frame &frame)
{
    if (frame.type != Message::kType)
        return std::nullopt;
    return Message::parse(frame.payload);
}

// Login proof: HMAC-SHA256 keyed by the password over kLoginLabel, the nonce and the user name.
inline constexpr char kLoginLabel[] = "QUILLON-LOGIN-1";
QByteArray loginProof(
    const QByteArray &password, const QByteArray &nonce, const QByteArray &userName);

QByteArray sha256(QByteArrayView bytes);
// Cryptographically strong random bytes (nonces and session tokens).
QByteArray randomBytes(qsizetype count);
// Compares two byte strings in a time that does not depend on where they differ.
bool equalInConstantTime(QByteArrayView a, QByteArrayView b);

} // namespace quillon::wire
