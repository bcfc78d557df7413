#include "segnali.h"

#include <cerrno>
#include <csignal>
#include <ctime>

#include <pthread.h>

namespace ondivo::platform {

struct SenzaSigpipe::Stato {
    sigset_t pipe;
    sigset_t prima;
    bool giaPendente = false;
    bool bloccato = false;
};

SenzaSigpipe::SenzaSigpipe() : m_stato(std::make_unique<Stato>()) {
    sigemptyset(&m_stato->pipe);
    sigaddset(&m_stato->pipe, SIGPIPE);
    sigset_t pendenti;
    m_stato->giaPendente = sigpending(&pendenti) == 0 && sigismember(&pendenti, SIGPIPE) == 1;
    m_stato->bloccato = pthread_sigmask(SIG_BLOCK, &m_stato->pipe, &m_stato->prima) == 0;
}

SenzaSigpipe::~SenzaSigpipe() {
    if (!m_stato->bloccato)
        return;
    sigset_t pendenti;
    if (!m_stato->giaPendente && sigpending(&pendenti) == 0 &&
        sigismember(&pendenti, SIGPIPE) == 1) {
        const timespec subito{0, 0};
        while (sigtimedwait(&m_stato->pipe, nullptr, &subito) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &m_stato->prima, nullptr);
}

} // namespace ondivo::platform
