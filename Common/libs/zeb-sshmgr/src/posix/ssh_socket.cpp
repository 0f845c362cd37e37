// TCP probe of the SSH port.
#include "ssh_exec.h"
#include "ssh_io.h"

#include "zeb-tools-trace.h"

#include <ctime>
#include <fcntl.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#define TAG(func) ZEB_TRACE_TAG("Ssh", func)

SshCodes tcp_connect(const char* host, const char* port, SOCKET* pSock) {
    if (host == nullptr || port == nullptr || pSock == nullptr) {
        ZebTrace(TRACE_ERROR, TAG("tcp_connect"),
                 "Unable to connect to host %s port %s: Internal error: Invalid object\n",
                 host ? host : "(null)", port ? port : "(null)");
        return SSH_INTERNAL_ERR;
    }
    addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* list = nullptr;
    int rc = getaddrinfo(host, port, &hints, &list);
    if (rc != 0) {
        ZebTrace(TRACE_DEBUG, TAG("tcp_connect"), "Unable to connect to host %s port %s (%d): %s\n",
                 host, port, rc, gai_strerror(rc));
        return SSH_CANNOT_CONNECT_ERR;
    }
    for (addrinfo* ai = list; ai != nullptr; ai = ai->ai_next) {
        SOCKET sock = socket(ai->ai_family, ai->ai_socktype, ai->ai_protocol);
        if (sock == SOCKET_NONE)
            continue;
        ZebTrace(TRACE_DEBUG, TAG("tcp_connect"), "Trying to connect to socket ...\n");
        if (connect(sock, ai->ai_addr, ai->ai_addrlen) == 0) {
            ZebTrace(TRACE_DEBUG, TAG("tcp_connect"), "Connection to socket ... Done\n");
            int flags = fcntl(sock, F_GETFL, 0);
            if (flags != -1 && flags != 0)
                fcntl(sock, F_SETFL, flags & ~O_NONBLOCK);
            *pSock = sock;
            freeaddrinfo(list);
            return SSH_SUCCESS;
        }
        ZebTrace(TRACE_DEBUG, TAG("tcp_connect"), "Connection to socket ... Failed\n");
        sock_close(&sock);
    }
    freeaddrinfo(list);
    ZebTrace(TRACE_DEBUG, TAG("tcp_connect"),
             "Unable to connect to host %s port %s: Cannot connect to socket\n", host, port);
    return SSH_CANNOT_CONNECT_ERR;
}

void sock_close(SOCKET* pSock) {
    if (pSock == nullptr || *pSock == SOCKET_NONE)
        return;
    sleep_seconds(1);
    int rc = close(*pSock);
    sleep_seconds(2);
    ZebTrace(TRACE_DEBUG, TAG("sock_close"), "Close socket ... %s\n", rc == 0 ? "Done" : "Failed");
    *pSock = SOCKET_NONE;
}

int is_server_available(const char* host, int count) {
    if (host == nullptr)
        return 0;
    count = count < 1 ? 1 : (count > 100 ? 100 : count);
    for (int attempt = 0; attempt < count; ++attempt) {
        if (attempt > 0)
            sleep_seconds(5);
        SOCKET sock = SOCKET_NONE;
        if (tcp_connect(host, "22", &sock) == SSH_SUCCESS) {
            sock_close(&sock);
            return 1;
        }
    }
    return 0;
}

int is_server_available(const char* host, double max_sec) {
    if (host == nullptr)
        return 0;
    const time_t start = time(nullptr);
    for (;;) {
        SOCKET sock = SOCKET_NONE;
        bool connected = tcp_connect(host, "22", &sock) == SSH_SUCCESS;
        if (connected)
            sock_close(&sock);
        const time_t noted = time(nullptr);
        sleep_seconds(5);
        if (connected)
            return 1;
        if (difftime(noted, start) > max_sec)
            return 0;
    }
}
