// The host link's answers through the installed header and library.
#include <quillon/tcpclientdll.h>

#include <cstdint>
#include <cstdio>

extern "C" int check_host_link(
    const char *host, int port, const char *userName, const char *password)
{
    const KX_LoginRecord login {userName, password, host, port};
    struct Check
    {
        const char *call;
        std::int32_t result;
        std::int32_t expected;
    };
    const Check checks[] = {
        {"KX_VerifyUser(null)", KX_VerifyUser(nullptr), KX_LOGIN_NO_CONNECTION},
        {"KX_GetRemoteFile(null)", KX_GetRemoteFile(nullptr), KX_ERR_ARGUMENT},
        {"KX_ConnectTCPServer(null)", KX_ConnectTCPServer(nullptr), 0},
        {"KX_DisConnectTCPServer(0)", KX_DisConnectTCPServer(0), KX_OK},
        {"KX_DisConnectTCPServer(unknown)", KX_DisConnectTCPServer(12345), KX_ERR_ARGUMENT},
        {"KX_VerifyUser(server)", host ? KX_VerifyUser(&login) : KX_LOGIN_ACCEPTED,
            KX_LOGIN_ACCEPTED},
    };
    int failures = 0;
    for (const Check &check : checks) {
        if (check.result != check.expected) {
            std::fprintf(stderr, "%s gave %d, expected %d\n", check.call, int(check.result),
                int(check.expected));
            ++failures;
        }
    }
    return failures;
}
