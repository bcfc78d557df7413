#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace ondivo::test {

// True once the process has ended (reaped or not); waits up to 30 s for the kernel to get
// there after a kill.
inline bool ProcessEnded(pid_t pid) {
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (pidfd < 0)
        return errno == ESRCH; // already gone and reaped
    pollfd voce{pidfd, POLLIN, 0};
    const bool finito = ::poll(&voce, 1, 30'000) == 1;
    ::close(pidfd);
    return finito;
}

// Sets the flag from a thread of its own as soon as the program writes a process id into the
// FIFO "ready" of the folder: the cancellation comes while the program is surely running,
// with no guess at how long it takes to start.
class CancelFromAnotherThread {
public:
    explicit CancelFromAnotherThread(const std::filesystem::path& cartella) {
        const auto fifo = cartella / "ready";
        EXPECT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        // Open for reading and writing: neither this open nor the program's waits for the other.
        m_fd = ::open(fifo.c_str(), O_RDWR | O_CLOEXEC);
        EXPECT_GE(m_fd, 0);
        m_thread = std::thread([this] {
            std::string riga;
            char c = 0;
            while (::read(m_fd, &c, 1) == 1 && c != '\n')
                riga += c;
            m_pid = riga.empty() ? 0 : std::stoi(riga);
            flag.store(true);
        });
    }
    ~CancelFromAnotherThread() {
        release();
        ::close(m_fd);
    }
    CancelFromAnotherThread(const CancelFromAnotherThread&) = delete;
    CancelFromAnotherThread& operator=(const CancelFromAnotherThread&) = delete;

    // Ends the thread, also when the program never wrote; returns the id it wrote, or 0.
    pid_t release() {
        if (m_thread.joinable()) {
            (void)!::write(m_fd, "\n", 1);
            m_thread.join();
        }
        return m_pid;
    }

    std::atomic<bool> flag{false};

private:
    int m_fd = -1;
    pid_t m_pid = 0;
    std::thread m_thread;
};

} // namespace ondivo::test
