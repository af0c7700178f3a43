#include "hostlink/tcpclientdll.h"

#include "hostlink/blockingchannel.h"
#include "hostlink/knownhosts.h"
#include "hostlink/wire.h"
#include "platform/atomicfile.h"

#include <QFile>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

using namespace quillon::wire;

namespace {

// Sessions of hosts no longer visited are dropped oldest first beyond this many.
constexpr std::size_t kMaxSessions = 64;
// Command connections open at once; a caller that never disconnects cannot exhaust sockets.
constexpr std::size_t kMaxConnections = 32;
// Session connections a thread keeps open, one per host and port, oldest closed first.
constexpr std::size_t kMaxKeptPerThread = 4;

struct Session
{
    QByteArray host; // the host text exactly as the caller spelled it
    std::int32_t port = 0;
    QByteArray token;
};

struct CommandConnection
{
    std::mutex mutex; // one exchange at a time on this connection
    BlockingChannel channel;
};

struct Library
{
    std::mutex mutex;
    std::vector<Session> sessions; // most recently stored last
    std::map<std::int32_t, std::shared_ptr<CommandConnection>> connections;
    std::int32_t lastHandle = 0;
};

Library &library()
{
    static Library instance;
    return instance;
}

bool validPort(std::int32_t port)
{
    return port > 0 && port <= 0xFFFF;
}

QString hostText(const char *host)
{
    return QString::fromLocal8Bit(host);
}

// True for a session or kept connection of this host and port, the host compared as spelled.
auto atHost(const QByteArray &host, std::int32_t port)
{
    return [&host, port](const auto &record) {
        return record.port == port && record.host == host;
    };
}

void forgetSession(const QByteArray &host, std::int32_t port)
{
    Library &lib = library();
    const std::lock_guard lock(lib.mutex);
    std::erase_if(lib.sessions, atHost(host, port));
}

void storeSession(const QByteArray &host, std::int32_t port, const QByteArray &token)
{
    Library &lib = library();
    const std::lock_guard lock(lib.mutex);
    std::erase_if(lib.sessions, atHost(host, port));
    if (lib.sessions.size() >= kMaxSessions)
        lib.sessions.erase(lib.sessions.begin());
    lib.sessions.push_back({host, port, token});
}

QByteArray sessionToken(const QByteArray &host, std::int32_t port)
{
    Library &lib = library();
    const std::lock_guard lock(lib.mutex);
    const auto found = std::find_if(lib.sessions.begin(), lib.sessions.end(), atHost(host, port));
    return found != lib.sessions.end() ? found->token : QByteArray();
}

enum class Reach { Connected, NoConnection, IdentityChanged };

// Connects over TLS and checks the server's identity against its pin before a byte of the
// protocol is sent; the first connection to a host and port pins what it saw.
Reach connectPinned(BlockingChannel &channel, const char *host, std::int32_t port)
{
    if (!channel.open(hostText(host), quint16(port)))
        return Reach::NoConnection;
    const PinCheck pin
        = checkPin(knownHostsPath(), QByteArray(host), port, channel.peerFingerprint());
    if (pin == PinCheck::Accepted)
        return Reach::Connected;
    channel.close();
    return pin == PinCheck::Changed ? Reach::IdentityChanged : Reach::NoConnection;
}

// Keeps the connection that logged in as the calling thread's session connection.
void keepChannel(const QByteArray &host, std::int32_t port, const QByteArray &token,
    std::unique_ptr<BlockingChannel> channel);

std::int32_t login(const KX_LoginRecord &record)
{
    const QByteArray userName(record.userName);
    const QByteArray password(record.password);
    // No account can carry a longer name, so such a name is unknown without asking.
    if (userName.size() > kMaxUserNameBytes)
        return KX_LOGIN_UNKNOWN_USER;

    auto owned = std::make_unique<BlockingChannel>();
    BlockingChannel &channel = *owned;
    const Reach reach = connectPinned(channel, record.host, record.port);
    if (reach == Reach::IdentityChanged)
        return KX_LOGIN_IDENTITY_CHANGED;
    if (reach != Reach::Connected || !channel.sendMessage(LoginHello {userName}))
        return KX_LOGIN_NO_CONNECTION;
    std::optional<Frame> frame = channel.receive();
    const std::optional<LoginChallenge> challenge
        = frame ? decode<LoginChallenge>(*frame) : std::nullopt;
    if (!challenge
        || !channel.sendMessage(LoginProof {loginProof(password, challenge->nonce, userName)}))
        return KX_LOGIN_NO_CONNECTION;
    frame = channel.receive();
    const std::optional<LoginResult> result = frame ? decode<LoginResult>(*frame) : std::nullopt;
    if (!result)
        return KX_LOGIN_NO_CONNECTION;
    if (result->code == LoginCode::Accepted) {
        storeSession(QByteArray(record.host), record.port, result->token);
        // The server carries the session on this connection, so the transfers that follow
        // need no handshake of their own. A server that closed it after the result is met
        // like any kept connection it closed: the first request opens a new one.
        keepChannel(QByteArray(record.host), record.port, result->token, std::move(owned));
    }
    return std::int32_t(result->code);
}

// Connects and presents the session token; KX_OK or the failure to return. A server whose
// identity changed is refused before anything is sent.
std::int32_t openSessionChannel(
    BlockingChannel &channel, const char *host, std::int32_t port, const QByteArray &token)
{
    if (token.isEmpty())
        return KX_ERR_REFUSED;
    switch (connectPinned(channel, host, port)) {
    case Reach::Connected:
        break;
    case Reach::NoConnection:
        return KX_ERR_NETWORK;
    case Reach::IdentityChanged:
        return KX_ERR_REFUSED;
    }
    const std::optional<StatusCode> status = channel.openSession(token);
    if (!status)
        return KX_ERR_NETWORK;
    return *status == StatusCode::Ok ? KX_OK : KX_ERR_REFUSED;
}

// A session connection the calling thread keeps for host and port, so that the transfers of a
// visit share one TLS handshake. It belongs to its thread, as its socket does.
struct KeptChannel
{
    QByteArray host;
    std::int32_t port = 0;
    QByteArray token;
    std::unique_ptr<BlockingChannel> channel;
};

thread_local std::vector<KeptChannel> t_keptChannels; // most recently used last

BlockingChannel &keptChannel(const QByteArray &host, std::int32_t port, const QByteArray &token)
{
    const auto found
        = std::find_if(t_keptChannels.begin(), t_keptChannels.end(), atHost(host, port));
    KeptChannel kept;
    if (found != t_keptChannels.end()) {
        kept = std::move(*found);
        t_keptChannels.erase(found);
    } else {
        kept = KeptChannel {host, port, token, std::make_unique<BlockingChannel>()};
    }
    // A new login brings a new token; the old connection carries the old session.
    if (kept.token != token) {
        kept.channel->close();
        kept.token = token;
    }
    if (t_keptChannels.size() >= kMaxKeptPerThread)
        t_keptChannels.erase(t_keptChannels.begin());
    t_keptChannels.push_back(std::move(kept));
    return *t_keptChannels.back().channel;
}

void closeKeptChannel(const QByteArray &host, std::int32_t port)
{
    std::erase_if(t_keptChannels, atHost(host, port));
}

void keepChannel(const QByteArray &host, std::int32_t port, const QByteArray &token,
    std::unique_ptr<BlockingChannel> channel)
{
    closeKeptChannel(host, port);
    if (t_keptChannels.size() >= kMaxKeptPerThread)
        t_keptChannels.erase(t_keptChannels.begin());
    t_keptChannels.push_back({host, port, token, std::move(channel)});
}

// Sends one request on the kept session connection of host and port and takes its reply. When
// a connection kept from earlier turns out closed by the server (idle or too old) before any
// answer, the request goes once more on a new one: a download or an upload may be repeated.
std::int32_t requestOnSession(
    const char *host, std::int32_t port, const QByteArray &request, Frame *reply)
{
    const QByteArray token = sessionToken(QByteArray(host), port);
    if (token.isEmpty()) {
        closeKeptChannel(QByteArray(host), port);
        return KX_ERR_REFUSED;
    }
    BlockingChannel &channel = keptChannel(QByteArray(host), port, token);
    for (;;) {
        const bool reused = channel.isOpen();
        channel.restartDeadline();
        if (!reused) {
            channel.close();
            const std::int32_t opened = openSessionChannel(channel, host, port, token);
            if (opened != KX_OK) {
                channel.close();
                return opened;
            }
        }
        std::optional<Frame> frame;
        if (channel.send(request))
            frame = channel.receive();
        if (frame) {
            *reply = std::move(*frame);
            return KX_OK;
        }
        const bool closedByServer = channel.socket().state() != QAbstractSocket::ConnectedState;
        channel.close();
        if (!reused || !closedByServer)
            return KX_ERR_NETWORK;
    }
}

std::int32_t resultOfStatus(const Frame &frame)
{
    const std::optional<StatusReply> reply = decode<StatusReply>(frame);
    if (!reply)
        return KX_ERR_NETWORK;
    switch (reply->code) {
    case StatusCode::Ok:
        return KX_OK;
    case StatusCode::NotFound:
        return KX_ERR_NOT_FOUND;
    default:
        return KX_ERR_REFUSED;
    }
}

bool validTransferRecord(const KX_FileTransferRecord *record)
{
    return record && record->remotePath && record->localPath && record->host
        && validPort(record->port) && *record->remotePath && *record->localPath
        && qsizetype(qstrlen(record->remotePath)) <= kMaxPathBytes;
}

} // namespace

extern "C" {

std::int32_t KX_CALL KX_VerifyUser(const KX_LoginRecord *record)
{
    if (!record || !record->userName || !record->password || !record->host)
        return KX_LOGIN_NO_CONNECTION;
    if (!validPort(record->port)) {
        forgetSession(QByteArray(record->host), record->port);
        return KX_LOGIN_NO_CONNECTION;
    }
    const std::int32_t result = login(*record);
    if (result != KX_LOGIN_ACCEPTED)
        forgetSession(QByteArray(record->host), record->port);
    return result;
}

std::int32_t KX_CALL KX_GetRemoteFile(const KX_FileTransferRecord *record)
{
    if (!validTransferRecord(record))
        return KX_ERR_ARGUMENT;
    Frame frame;
    const std::int32_t sent = requestOnSession(
        record->host, record->port, encode(FileRequest {QByteArray(record->remotePath)}), &frame);
    if (sent != KX_OK)
        return sent;
    if (frame.type == MessageType::Status) {
        // A status answers a file request only to refuse it or to say the file does not exist;
        // "Ok" without a file is broken.
        const std::int32_t status = resultOfStatus(frame);
        if (status == KX_ERR_REFUSED || status == KX_ERR_NOT_FOUND)
            return status;
        closeKeptChannel(QByteArray(record->host), record->port);
        return KX_ERR_NETWORK;
    }
    const std::optional<FileData> file = decode<FileData>(frame);
    if (!file || !file->digestMatches()) {
        closeKeptChannel(QByteArray(record->host), record->port);
        return KX_ERR_NETWORK;
    }

    // The local copy is replaced only now that the whole file is here and checked. It is not
    // flushed to disk: a copy lost in a crash is downloaded again, as every visit does anyway.
    if (quillon::platform::writeFileAtomically(QFile::decodeName(record->localPath), file->content,
            quillon::platform::Durability::Written))
        return KX_ERR_LOCAL;
    return KX_OK;
}

std::int32_t KX_CALL KX_UploadFile(const KX_FileTransferRecord *record)
{
    if (!validTransferRecord(record))
        return KX_ERR_ARGUMENT;
    QFile local(QFile::decodeName(record->localPath));
    if (!local.open(QIODevice::ReadOnly) || local.size() > kMaxFileBytes)
        return KX_ERR_LOCAL;
    const qint64 size = local.size();
    const QByteArray content = local.read(size);
    if (content.size() != size)
        return KX_ERR_LOCAL;
    local.close();

    Frame frame;
    const std::int32_t sent = requestOnSession(record->host, record->port,
        encode(FileUpload {QByteArray(record->remotePath), content, sha256(content)}), &frame);
    if (sent != KX_OK)
        return sent;
    const std::int32_t status = resultOfStatus(frame);
    if (status == KX_ERR_NETWORK)
        closeKeptChannel(QByteArray(record->host), record->port);
    return status;
}

std::int32_t KX_CALL KX_ConnectTCPServer(const KX_ConnectRecord *record)
{
    if (!record || !record->host || !validPort(record->port))
        return 0;
    {
        Library &lib = library();
        const std::lock_guard lock(lib.mutex);
        if (lib.connections.size() >= kMaxConnections)
            return 0;
    }
    auto connection = std::make_shared<CommandConnection>();
    const QByteArray token = sessionToken(QByteArray(record->host), record->port);
    if (openSessionChannel(connection->channel, record->host, record->port, token) != KX_OK)
        return 0;

    Library &lib = library();
    const std::lock_guard lock(lib.mutex);
    if (lib.connections.size() >= kMaxConnections)
        return 0;
    // Handles are positive and never 0, which stands for "no connection".
    do {
        lib.lastHandle = lib.lastHandle == INT32_MAX ? 1 : lib.lastHandle + 1;
    } while (lib.connections.contains(lib.lastHandle));
    lib.connections.emplace(lib.lastHandle, std::move(connection));
    return lib.lastHandle;
}

std::int32_t KX_CALL KX_ClientSendBuf(
    std::int32_t handle, const char *buffer, std::int32_t length, std::int32_t flags)
{
    if (!buffer || length <= 0 || length > kMaxCommandBytes)
        return KX_ERR_ARGUMENT;
    std::shared_ptr<CommandConnection> connection;
    {
        Library &lib = library();
        const std::lock_guard lock(lib.mutex);
        const auto found = lib.connections.find(handle);
        if (found == lib.connections.end())
            return KX_ERR_ARGUMENT;
        connection = found->second;
    }
    const std::lock_guard lock(connection->mutex);
    BlockingChannel &channel = connection->channel;
    channel.restartDeadline();
    if (!channel.sendMessage(Command {QByteArray(buffer, length)}))
        return KX_ERR_NETWORK;
    const std::optional<Frame> frame = channel.receive();
    const std::int32_t result = frame ? resultOfStatus(*frame) : KX_ERR_NETWORK;
    return result == KX_OK ? length : result;
}

std::int32_t KX_CALL KX_DisConnectTCPServer(std::int32_t handle)
{
    if (handle == 0)
        return KX_OK;
    std::shared_ptr<CommandConnection> connection;
    {
        Library &lib = library();
        const std::lock_guard lock(lib.mutex);
        const auto found = lib.connections.find(handle);
        if (found == lib.connections.end())
            return KX_ERR_ARGUMENT;
        connection = std::move(found->second);
        lib.connections.erase(found);
    }
    const std::lock_guard lock(connection->mutex);
    connection->channel.close();
    return KX_OK;
}

} // extern "C"
