#pragma once

#include <unistd.h>

namespace ondivo::platform {

// Owns one file descriptor and closes it on scope exit; -1 means none.
class UniqueFd {
public:
    explicit UniqueFd(int fd = -1) : m_fd(fd) {}
    ~UniqueFd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return m_fd; }
    // Gives up ownership without closing.
    int rilascia() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    // Gives up ownership and returns the close() result, so a failed final flush is seen.
    int close() {
        const int rc = m_fd >= 0 ? ::close(m_fd) : 0;
        m_fd = -1;
        return rc;
    }

private:
    int m_fd;
};

} // namespace ondivo::platform
