#include "hostlink/tcpclientdll.h"

#include "hostlink/blockingchannel.h"
#include "hostlink/knownhosts.h"
#include "hostlink/wire.h"
#include "platform/atomicfile.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <cstring>
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

struct Credentials
{
    QByteArray userName;
    QByteArray password;
};

struct Session
{
    QByteArray host; // the host text exactly as the caller spelled it
    std::int32_t port = 0;
    QByteArray token;
    // What the login took, kept to log in again when the server has forgotten the session.
    Credentials credentials;
};

// Overwrites the password's bytes before its memory is given back.
void wipe(Session &session)
{
    session.credentials.password.fill('\0');
}

struct CommandConnection
{
    std::mutex mutex; // one exchange at a time on this connection
    BlockingChannel channel;
    QByteArray host;
    std::int32_t port = 0;
};

// What a visit saw of a server's set: the generation its downloads are based on (from the first
// download after a login until an apply is refused as stale) and the set last reported.
struct SetRecord
{
    QByteArray host;
    std::int32_t port = 0;
    std::optional<std::uint64_t> baseGeneration;
    std::optional<SetInfo> served;
};

struct Library
{
    std::mutex mutex;
    std::vector<Session> sessions; // most recently stored last
    std::vector<SetRecord> sets; // most recently stored last, as many as sessions
    std::map<std::int32_t, std::shared_ptr<CommandConnection>> connections;
    std::int32_t lastHandle = 0;
};

Library &library()
{
    static Library instance;
    return instance;
}

enum class Lookup { Keep, Release };

// The connection of a handle, or null for a handle the table lacks. Release also takes it out
// of the table, so that no later call finds it.
std::shared_ptr<CommandConnection> connectionOf(std::int32_t handle, Lookup lookup)
{
    Library &lib = library();
    const std::lock_guard lock(lib.mutex);
    const auto found = lib.connections.find(handle);
    if (found == lib.connections.end())
        return nullptr;
    std::shared_ptr<CommandConnection> connection = found->second;
    if (lookup == Lookup::Release)
        lib.connections.erase(found);
    return connection;
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

// Removes the session of host and port; the library's mutex is held.
void eraseSessionLocked(Library &lib, const QByteArray &host, std::int32_t port)
{
    std::erase_if(lib.sessions, [&](Session &s) {
        if (!atHost(host, port)(s))
            return false;
        wipe(s);
        return true;
    });
}

void forgetSession(const QByteArray &host, std::int32_t port)
{
    Library &lib = library();
    const std::lock_guard lock(lib.mutex);
    eraseSessionLocked(lib, host, port);
}

void storeSession(const QByteArray &host, std::int32_t port, const QByteArray &token,
    const Credentials &credentials)
{
    Library &lib = library();
    const std::lock_guard lock(lib.mutex);
    eraseSessionLocked(lib, host, port);
    if (lib.sessions.size() >= kMaxSessions) {
        wipe(lib.sessions.front());
        lib.sessions.erase(lib.sessions.begin());
    }
    lib.sessions.push_back({host, port, token, credentials});
}

std::optional<Credentials> sessionCredentials(
    const QByteArray &host, std::int32_t port, const QByteArray &token)
{
    Library &lib = library();
    const std::lock_guard lock(lib.mutex);
    for (const Session &session : lib.sessions) {
        if (atHost(host, port)(session) && session.token == token)
            return session.credentials;
    }
    return std::nullopt;
}

QByteArray sessionToken(const QByteArray &host, std::int32_t port)
{
    Library &lib = library();
    const std::lock_guard lock(lib.mutex);
    const auto found = std::find_if(lib.sessions.begin(), lib.sessions.end(), atHost(host, port));
    return found != lib.sessions.end() ? found->token : QByteArray();
}

// The set record of host and port, made when missing; call with the library's mutex held.
SetRecord &setRecord(Library &lib, const QByteArray &host, std::int32_t port)
{
    const auto found = std::find_if(lib.sets.begin(), lib.sets.end(), atHost(host, port));
    if (found != lib.sets.end())
        return *found;
    if (lib.sets.size() >= kMaxSessions)
        lib.sets.erase(lib.sets.begin());
    lib.sets.push_back({host, port, {}, {}});
    return lib.sets.back();
}

// A login starts a visit: its downloads decide the base again.
void forgetBase(const QByteArray &host, std::int32_t port)
{
    Library &lib = library();
    const std::lock_guard lock(lib.mutex);
    setRecord(lib, host, port).baseGeneration.reset();
}

std::optional<std::uint64_t> baseGeneration(const QByteArray &host, std::int32_t port)
{
    Library &lib = library();
    const std::lock_guard lock(lib.mutex);
    return setRecord(lib, host, port).baseGeneration;
}

void storeServedSet(const QByteArray &host, std::int32_t port, const SetInfo &served, bool asBase)
{
    Library &lib = library();
    const std::lock_guard lock(lib.mutex);
    SetRecord &set = setRecord(lib, host, port);
    set.served = served;
    if (asBase)
        set.baseGeneration = served.generation;
    else
        set.baseGeneration.reset();
}

enum class Reach {
    Connected,
    NoConnection,
    IdentityChanged,
    KnownHostsUnreadable,
    KnownHostsUnwritable,
    BadHost,
};

// Connects over TLS and checks the server's identity against its pin before a byte of the
// protocol is sent; the first connection to a host and port pins what it saw. A host text that
// cannot be pinned is refused before connecting: it would reach a server without its check.
Reach connectPinned(BlockingChannel &channel, const char *host, std::int32_t port)
{
    if (!pinnableHost(QByteArray(host)))
        return Reach::BadHost;
    if (!channel.open(hostText(host), quint16(port)))
        return Reach::NoConnection;
    const PinCheck pin
        = checkPin(knownHostsPath(), QByteArray(host), port, channel.peerFingerprint());
    if (pin != PinCheck::Accepted)
        channel.close();
    switch (pin) {
    case PinCheck::Accepted:
        return Reach::Connected;
    case PinCheck::Changed:
        return Reach::IdentityChanged;
    case PinCheck::Unreadable:
        return Reach::KnownHostsUnreadable;
    case PinCheck::Unwritable:
        return Reach::KnownHostsUnwritable;
    case PinCheck::BadHost:
        return Reach::BadHost;
    }
    return Reach::NoConnection;
}

std::int32_t loginResultOf(Reach reach)
{
    switch (reach) {
    case Reach::Connected:
        return KX_LOGIN_ACCEPTED;
    case Reach::NoConnection:
        return KX_LOGIN_NO_CONNECTION;
    case Reach::IdentityChanged:
        return KX_LOGIN_IDENTITY_CHANGED;
    case Reach::KnownHostsUnreadable:
        return KX_LOGIN_KNOWN_HOSTS_UNREADABLE;
    case Reach::KnownHostsUnwritable:
        return KX_LOGIN_KNOWN_HOSTS_UNWRITABLE;
    case Reach::BadHost:
        return KX_LOGIN_BAD_HOST;
    }
    return KX_LOGIN_NO_CONNECTION;
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
    if (reach != Reach::Connected)
        return loginResultOf(reach);
    if (!channel.sendMessage(LoginHello {userName}))
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
        storeSession(QByteArray(record.host), record.port, result->token, {userName, password});
        // The server carries the session on this connection, so the transfers that follow
        // need no handshake of their own. A server that closed it after the result is met
        // like any kept connection it closed: the first request opens a new one.
        keepChannel(QByteArray(record.host), record.port, result->token, std::move(owned));
    }
    return std::int32_t(result->code);
}

// The server does not know the token (it restarted, or the session expired).
constexpr std::int32_t kSessionUnknown = -100;

// Connects and presents the session token; KX_OK, kSessionUnknown or the failure to return. A
// server whose identity changed is refused before anything is sent.
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
    case Reach::KnownHostsUnreadable:
    case Reach::KnownHostsUnwritable:
        return KX_ERR_LOCAL;
    case Reach::IdentityChanged:
    case Reach::BadHost:
        return KX_ERR_REFUSED;
    }
    const std::optional<StatusCode> status = channel.openSession(token);
    if (!status)
        return KX_ERR_NETWORK;
    switch (*status) {
    case StatusCode::Ok:
        return KX_OK;
    case StatusCode::NoSession:
        return kSessionUnknown;
    default:
        return KX_ERR_REFUSED;
    }
}

// Logs in again with the credentials of the session that held staleToken, once the server has
// said it does not know that token. The new token, or empty when the login was refused or
// failed (the session is then forgotten). When another thread has renewed the session already,
// its token is taken as it is.
QByteArray renewSession(const QByteArray &host, std::int32_t port, const QByteArray &staleToken)
{
    const QByteArray current = sessionToken(host, port);
    if (current != staleToken)
        return current;
    std::optional<Credentials> credentials = sessionCredentials(host, port, staleToken);
    if (!credentials)
        return {};
    const KX_LoginRecord record {credentials->userName.constData(),
        credentials->password.constData(), host.constData(), port};
    const std::int32_t result = login(record);
    credentials->password.fill('\0');
    if (result != KX_LOGIN_ACCEPTED) {
        forgetSession(host, port);
        return {};
    }
    return sessionToken(host, port);
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

// The thread that ends the application (its main thread) closes its kept connections while Qt
// still runs: a socket closed by the thread's exit handlers, once the application object and
// the TLS back end are gone, makes Qt warn on every run.
void closeKeptChannelsWithTheApplication()
{
    static std::once_flag registered;
    std::call_once(registered, [] { qAddPostRoutine([] { t_keptChannels.clear(); }); });
}

BlockingChannel &keptChannel(const QByteArray &host, std::int32_t port, const QByteArray &token)
{
    const auto found
        = std::find_if(t_keptChannels.begin(), t_keptChannels.end(), atHost(host, port));
    KeptChannel kept;
    if (found != t_keptChannels.end()) {
        kept = std::move(*found);
        t_keptChannels.erase(found);
    } else {
        closeKeptChannelsWithTheApplication();
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

bool isNoSessionStatus(const Frame &frame)
{
    if (frame.type != MessageType::Status)
        return false;
    const std::optional<StatusReply> reply = decode<StatusReply>(frame);
    return reply && reply->code == StatusCode::NoSession;
}

void keepChannel(const QByteArray &host, std::int32_t port, const QByteArray &token,
    std::unique_ptr<BlockingChannel> channel)
{
    closeKeptChannelsWithTheApplication();
    closeKeptChannel(host, port);
    if (t_keptChannels.size() >= kMaxKeptPerThread)
        t_keptChannels.erase(t_keptChannels.begin());
    t_keptChannels.push_back({host, port, token, std::move(channel)});
}

// Sends one request on the kept session connection of host and port and takes its reply. When
// a connection kept from earlier turns out closed by the server (idle or too old) before any
// answer, the request goes once more on a new one: a download or an upload may be repeated.
// When the server no longer knows the session, the library logs in again once with the
// session's credentials and repeats the request; KX_ERR_LOGIN_LOST when that login failed.
std::int32_t requestOnSession(
    const char *host, std::int32_t port, const QByteArray &request, Frame *reply)
{
    QByteArray token = sessionToken(QByteArray(host), port);
    if (token.isEmpty()) {
        closeKeptChannel(QByteArray(host), port);
        return KX_ERR_REFUSED;
    }
    bool renewed = false;
    const auto renew = [&]() -> bool {
        closeKeptChannel(QByteArray(host), port);
        if (renewed)
            return false;
        renewed = true;
        token = renewSession(QByteArray(host), port, token);
        return !token.isEmpty();
    };
    for (;;) {
        BlockingChannel &channel = keptChannel(QByteArray(host), port, token);
        const bool reused = channel.isOpen();
        channel.restartDeadline();
        if (!reused) {
            channel.close();
            const std::int32_t opened = openSessionChannel(channel, host, port, token);
            if (opened == kSessionUnknown) {
                if (renew())
                    continue;
                return KX_ERR_LOGIN_LOST;
            }
            if (opened != KX_OK) {
                channel.close();
                return opened;
            }
        }
        std::optional<Frame> frame;
        if (channel.send(request))
            frame = channel.receive();
        if (frame && isNoSessionStatus(*frame)) {
            if (renew())
                continue;
            return KX_ERR_LOGIN_LOST;
        }
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
    else
        forgetBase(QByteArray(record->host), record->port);
    return result;
}

std::int32_t KX_CALL KX_GetRemoteFile(const KX_FileTransferRecord *record)
{
    if (!validTransferRecord(record))
        return KX_ERR_ARGUMENT;
    Frame frame;
    // The first download of a visit fixes the generation its files are based on. Asked before
    // the file, so an apply in between makes the visit's own apply refused, never unseen.
    if (!baseGeneration(QByteArray(record->host), record->port)) {
        const std::int32_t asked
            = requestOnSession(record->host, record->port, encode(SetRequest {}), &frame);
        if (asked != KX_OK)
            return asked;
        if (const std::optional<SetInfo> served = decode<SetInfo>(frame))
            storeServedSet(QByteArray(record->host), record->port, *served, true);
        else // a server without generations answers that it does not know the request
            closeKeptChannel(QByteArray(record->host), record->port);
    }
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

    // The local copy is replaced only now that the whole file is here and checked, and only by
    // a write that reached the file system whole. It is fetched again on every visit, so it is
    // not flushed to the disk.
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
    const QByteArray host(record->host);
    connection->host = host;
    connection->port = record->port;
    const QByteArray token = sessionToken(host, record->port);
    std::int32_t opened
        = openSessionChannel(connection->channel, record->host, record->port, token);
    if (opened == kSessionUnknown) {
        // The server forgot the session (a restart): log in again once, as for a transfer.
        connection->channel.close();
        const QByteArray renewed = renewSession(host, record->port, token);
        opened = renewed.isEmpty()
            ? KX_ERR_LOGIN_LOST
            : openSessionChannel(connection->channel, record->host, record->port, renewed);
    }
    if (opened != KX_OK)
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
    const std::shared_ptr<CommandConnection> connection = connectionOf(handle, Lookup::Keep);
    if (!connection)
        return KX_ERR_ARGUMENT;
    const std::lock_guard lock(connection->mutex);
    BlockingChannel &channel = connection->channel;
    channel.restartDeadline();
    const QByteArray bytes(buffer, length);
    const std::optional<std::uint64_t> base = baseGeneration(connection->host, connection->port);
    if (!(base ? channel.sendMessage(BasedCommand {*base, bytes})
               : channel.sendMessage(Command {bytes})))
        return KX_ERR_NETWORK;
    const std::optional<Frame> frame = channel.receive();
    const std::optional<StatusReply> status = frame ? decode<StatusReply>(*frame) : std::nullopt;
    if (status && status->code == StatusCode::Stale) {
        // Whose apply came in between, for the caller to say; the next download bases anew.
        std::optional<Frame> answer;
        if (channel.sendMessage(SetRequest {}))
            answer = channel.receive();
        const std::optional<SetInfo> served = answer ? decode<SetInfo>(*answer) : std::nullopt;
        storeServedSet(connection->host, connection->port, served.value_or(SetInfo {}), false);
        return KX_ERR_STALE;
    }
    const std::int32_t result = frame ? resultOfStatus(*frame) : KX_ERR_NETWORK;
    return result == KX_OK ? length : result;
}

std::int32_t KX_CALL KX_GetServedSet(const KX_ConnectRecord *record, KX_ServedSetRecord *served)
{
    if (!record || !record->host || !served)
        return KX_ERR_ARGUMENT;
    std::optional<SetInfo> known;
    {
        Library &lib = library();
        const std::lock_guard lock(lib.mutex);
        known = setRecord(lib, QByteArray(record->host), record->port).served;
    }
    if (!known)
        return KX_ERR_NOT_FOUND;
    *served = KX_ServedSetRecord {};
    served->generation = std::int64_t(known->generation);
    served->appliedAt = std::int64_t(known->appliedAt);
    const qsizetype size = std::min<qsizetype>(known->user.size(), sizeof served->userName - 1);
    std::memcpy(served->userName, known->user.constData(), size_t(size));
    return KX_OK;
}

std::int32_t KX_CALL KX_DisConnectTCPServer(std::int32_t handle)
{
    if (handle == 0)
        return KX_OK;
    const std::shared_ptr<CommandConnection> connection = connectionOf(handle, Lookup::Release);
    if (!connection)
        return KX_ERR_ARGUMENT;
    const std::lock_guard lock(connection->mutex);
    connection->channel.close();
    return KX_OK;
}

} // extern "C"
