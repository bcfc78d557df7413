#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace ondivo::fuzz {

// The input as a file in memory, reachable by a path, so file-based routines run without disk.
class MemFile {
public:
    MemFile(const uint8_t* data, size_t size) : m_fd(::memfd_create("ondivo-fuzz", 0)) {
        size_t done = 0;
        while (m_fd >= 0 && done < size) {
            const ssize_t n = ::write(m_fd, data + done, size - done);
            if (n <= 0)
                break;
            done += static_cast<size_t>(n);
        }
        m_path = "/proc/self/fd/" + std::to_string(m_fd);
    }
    ~MemFile() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    MemFile(const MemFile&) = delete;
    MemFile& operator=(const MemFile&) = delete;
    const std::string& path() const { return m_path; }

private:
    int m_fd;
    std::string m_path;
};

} // namespace ondivo::fuzz
