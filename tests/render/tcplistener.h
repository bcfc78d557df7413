#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>

namespace ondivo::test {

// A TCP server on 127.0.0.1 that counts the connections it gets and drops each at once, so a
// client that should never have connected fails fast instead of waiting for an answer.
class TcpListener {
public:
    TcpListener() {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::listen(m_fd, 16) != 0 ||
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
            throw std::runtime_error("cannot listen on 127.0.0.1");
        m_port = ntohs(addr.sin_port);
        m_thread = std::thread([this] {
            for (;;) {
                const int client = ::accept(m_fd, nullptr, nullptr);
                if (client < 0)
                    return; // shut down
                ++m_connections;
                ::close(client);
            }
        });
    }
    ~TcpListener() {
        ::shutdown(m_fd, SHUT_RDWR); // wakes the blocked accept
        m_thread.join();
        ::close(m_fd);
    }
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;

    std::string url() const { return "http://127.0.0.1:" + std::to_string(m_port); }
    int connections() const { return m_connections; }

private:
    int m_fd = -1;
    int m_port = 0;
    std::atomic<int> m_connections{0};
    std::thread m_thread;
};

} // namespace ondivo::test
