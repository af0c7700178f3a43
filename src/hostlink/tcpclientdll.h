#pragma once

// The host-link library: every exchange between the setup module and a recording server goes
// through the six functions the module imports, plus KX_GetServedSet. Texts are zero-terminated
// bytes in the system code page; the records are read during the call only.

#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define KX_CALL __stdcall
#else
#define KX_CALL
#endif

#if defined(_WIN32)
#if defined(TCPCLIENTDLL_BUILD)
#define KX_EXPORT __declspec(dllexport)
#else
#define KX_EXPORT __declspec(dllimport)
#endif
#else
#define KX_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

struct KX_LoginRecord
{
    const char *userName;
    const char *password;
    const char *host;
    std::int32_t port;
};

struct KX_FileTransferRecord
{
    const char *remotePath; // e.g. "SysConfig\SysSet.Ext"
    const char *localPath;
    const char *host;
    std::int32_t port;
};

struct KX_ConnectRecord
{
    const char *host;
    std::int32_t port;
};

// Results of KX_VerifyUser.
enum KX_LoginResult : std::int32_t {
    KX_LOGIN_ACCEPTED = 0,
    KX_LOGIN_UNKNOWN_USER = 1,
    KX_LOGIN_WRONG_PASSWORD = 2,
    KX_LOGIN_NOT_ALLOWED = 3,
    KX_LOGIN_NO_CONNECTION = -1,
    // The server's identity differs from the one first seen at that host and port; nothing
    // was sent to it.
    KX_LOGIN_IDENTITY_CHANGED = -2,
    // The known-hosts file cannot be read (or is larger than one can be): no identity can be
    // checked, so nothing was sent.
    KX_LOGIN_KNOWN_HOSTS_UNREADABLE = -3,
    // The identity seen first could not be stored in the known-hosts file, so it could not be
    // checked on later visits; nothing was sent.
    KX_LOGIN_KNOWN_HOSTS_UNWRITABLE = -4,
    // The host text holds a blank, a tab or another control character; no connection was tried.
    KX_LOGIN_BAD_HOST = -5,
};

// Results of the transfer and send calls: 0 success, anything else a failure.
enum KX_TransferResult : std::int32_t {
    KX_OK = 0,
    KX_ERR_NETWORK = -1, // no connection, timeout, broken or malformed exchange
    KX_ERR_REFUSED = -2, // the server refused the request (no session, path, size)
    KX_ERR_LOCAL = -3, // the local file could not be read or written
    KX_ERR_ARGUMENT = -4, // a null record or text
    KX_ERR_NOT_FOUND = -5, // the server has no such file
    // The server no longer knew the session (it restarted, or the session expired) and the
    // login made again with the same user name and password was refused.
    KX_ERR_LOGIN_LOST = -6,
    // (apply) another apply changed the server's files since this visit downloaded them; the
    // server changed nothing. KX_GetServedSet says whose apply it was and when.
    KX_ERR_STALE = -7,
};

// The set of files a server serves, as the library last learned it for a host and port.
struct KX_ServedSetRecord
{
    std::int64_t generation; // counts the server's applies
    std::int64_t appliedAt; // seconds since 1970-01-01 UTC; 0 when unknown
    char userName[256]; // who applied it, zero-terminated bytes as the server stores the name
};

// Logs in by challenge and response; on success the library keeps a session for host and port,
// with the user name and password in memory (never written anywhere) until the next login to
// that host and port replaces it or a login fails: when the server no longer knows the session,
// a transfer or a connect logs in again once with them and repeats its step.
KX_EXPORT std::int32_t KX_CALL KX_VerifyUser(const KX_LoginRecord *record);
// Fetches the remote file and replaces the local file atomically, only when it arrived whole.
KX_EXPORT std::int32_t KX_CALL KX_GetRemoteFile(const KX_FileTransferRecord *record);
// Sends the local file; the server replaces its file atomically, only when it arrived whole.
KX_EXPORT std::int32_t KX_CALL KX_UploadFile(const KX_FileTransferRecord *record);
// Opens a command connection carrying the session of host and port; 0 when none was made
// (also when there is no session for that host text and port).
KX_EXPORT std::int32_t KX_CALL KX_ConnectTCPServer(const KX_ConnectRecord *record);
// Sends one command buffer on a connection and waits for the server's acknowledgement.
// Returns the number of bytes delivered, or a negative KX_TransferResult.
KX_EXPORT std::int32_t KX_CALL KX_ClientSendBuf(
    std::int32_t handle, const char *buffer, std::int32_t length, std::int32_t flags);
// What the library last learned about the set the server at host and port serves: at the first
// download after a login, and when the server refused an apply as stale. KX_OK, KX_ERR_NOT_FOUND
// when it knows nothing, KX_ERR_ARGUMENT for a null record.
KX_EXPORT std::int32_t KX_CALL KX_GetServedSet(
    const KX_ConnectRecord *record, KX_ServedSetRecord *served);
// Closes the connection; handle 0 (a failed connect) is accepted and does nothing. An unknown
// handle gives KX_ERR_ARGUMENT.
KX_EXPORT std::int32_t KX_CALL KX_DisConnectTCPServer(std::int32_t handle);

} // extern "C"
