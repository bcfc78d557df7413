#pragma once

// Signals the program must not die of.

#include <atomic>
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

// While it lives, an interruption from the user or the system (Ctrl+C, SIGINT, SIGTERM, the
// console closing) does not end the program at once: it sets the flag, so that the work stops
// and everything it made is removed on the way out. A second one ends the program as usual.
class Interruzione {
public:
    Interruzione();
    ~Interruzione();
    Interruzione(const Interruzione&) = delete;
    Interruzione& operator=(const Interruzione&) = delete;

    // True once an interruption came; the flag lives as long as the program.
    const std::atomic<bool>* richiesta() const;
    // The exit status a shell expects of a program ended so: 128 + the signal's number.
    int codiceUscita() const;
};

} // namespace ondivo::platform
