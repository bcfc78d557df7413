#pragma once

// Signals the program must not die of.

#include <memory>

namespace ondivo::platform {

// While it lives, writing to a connection the other end has closed does not end the program
// (SIGPIPE on POSIX systems is blocked in this thread, and one raised meanwhile is taken back
// unless it was pending before); nothing to do where no such signal exists.
class SenzaSigpipe {
public:
    SenzaSigpipe();
    ~SenzaSigpipe();
    SenzaSigpipe(const SenzaSigpipe&) = delete;
    SenzaSigpipe& operator=(const SenzaSigpipe&) = delete;

private:
    struct Stato;
    std::unique_ptr<Stato> m_stato;
};

} // namespace ondivo::platform
