#include "visit/hostlink/tcpclientdll.h"

#include "visit/hostlink/blockingchannel.h"
#include "visit/hostlink/wire.h"

#include <QFile>
#include <QSaveFile>

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

void forgetSession(const QByteArray &host, std::int32_t port)
{
    Library &lib = library();
    const std::lock_guard lock(lib.mutex);
    std::erase_if(lib.sessions, [&](const Session &s) { return s.port == port && s.host == host; });
}

void storeSession(const QByteArray &host, std::int32_t port, const QByteArray &token)
{
    Library &lib = library();
    const std::lock_guard lock(lib.mutex);
    std::erase_if(lib.sessions, [&](const Session &s) { return s.port == port && s.host == host; });
    if (lib.sessions.size() >= kMaxSessions)
        lib.sessions.erase(lib.sessions.begin());
    lib.sessions.push_back({host, port, token});
}

QByteArray sessionToken(const QByteArray &host, std::int32_t port)
{
    Library &lib = library();
    const std::lock_guard lock(lib.mutex);
    for (const Session &session : lib.sessions) {
        if (session.port == port && session.host == host)
            return session.token;
    }
    return {};
}

std::int32_t login(const KX_LoginRecord &record)
{
    const QByteArray userName(record.userName);
    const QByteArray password(record.password);
    // No account can carry a longer name, so such a name is unknown without asking.
    if (userName.size() > kMaxUserNameBytes)
        return KX_LOGIN_UNKNOWN_USER;

    BlockingChannel channel;
    if (!channel.open(hostText(record.host), quint16(record.port))
        || !channel.sendMessage(LoginHello {userName}))
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
    if (result->code == LoginCode::Accepted)
        storeSession(QByteArray(record.host), record.port, result->token);
    return std::int32_t(result->code);
}

// Connects and presents the session of host and port; KX_OK or the failure to return.
std::int32_t openSessionChannel(BlockingChannel &channel, const char *host, std::int32_t port)
{
    const QByteArray token = sessionToken(QByteArray(host), port);
    if (token.isEmpty())
        return KX_ERR_REFUSED;
    if (!channel.open(hostText(host), quint16(port)))
        return KX_ERR_NETWORK;
    const std::optional<StatusCode> status = channel.openSession(token);
    if (!status)
        return KX_ERR_NETWORK;
    return *status == StatusCode::Ok ? KX_OK : KX_ERR_REFUSED;
}

std::int32_t resultOfStatus(const std::optional<Frame> &frame)
{
    const std::optional<StatusReply> reply = frame ? decode<StatusReply>(*frame) : std::nullopt;
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
    BlockingChannel channel;
    const std::int32_t opened = openSessionChannel(channel, record->host, record->port);
    if (opened != KX_OK)
        return opened;
    if (!channel.sendMessage(FileRequest {QByteArray(record->remotePath)}))
        return KX_ERR_NETWORK;
    const std::optional<Frame> frame = channel.receive();
    if (frame && frame->type == MessageType::Status)
        return resultOfStatus(frame);
    const std::optional<FileData> file = frame ? decode<FileData>(*frame) : std::nullopt;
    if (!file || !file->digestMatches())
        return KX_ERR_NETWORK;
    channel.close();

    // The local copy is replaced only now that the whole file is here and checked.
    QSaveFile local(QFile::decodeName(record->localPath));
    if (!local.open(QIODevice::WriteOnly) || local.write(file->content) != file->content.size()
        || !local.commit())
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

    BlockingChannel channel;
    const std::int32_t opened = openSessionChannel(channel, record->host, record->port);
    if (opened != KX_OK)
        return opened;
    if (!channel.sendMessage(FileUpload {QByteArray(record->remotePath), content, sha256(content)}))
        return KX_ERR_NETWORK;
    return resultOfStatus(channel.receive());
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
    if (openSessionChannel(connection->channel, record->host, record->port) != KX_OK)
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
    const std::int32_t result = resultOfStatus(channel.receive());
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
