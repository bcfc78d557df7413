#include "segnali.h"

#include <atomic>
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

namespace {

std::atomic<bool> interrotto{false};
volatile std::sig_atomic_t segnaleRicevuto = 0;
struct sigaction primaInt, primaTerm;

void suInterruzione(int segnale) {
    if (interrotto.load()) {
        // A second time: as if there were no handler.
        std::signal(segnale, SIG_DFL);
        std::raise(segnale);
        return;
    }
    segnaleRicevuto = segnale;
    interrotto.store(true);
}

} // namespace

Interruzione::Interruzione() {
    static_assert(std::atomic<bool>::is_always_lock_free);
    struct sigaction azione {};
    azione.sa_handler = suInterruzione;
    sigemptyset(&azione.sa_mask);
    sigaction(SIGINT, &azione, &primaInt);
    sigaction(SIGTERM, &azione, &primaTerm);
}

Interruzione::~Interruzione() {
    sigaction(SIGINT, &primaInt, nullptr);
    sigaction(SIGTERM, &primaTerm, nullptr);
}

const std::atomic<bool>* Interruzione::richiesta() const {
    return &interrotto;
}

int Interruzione::codiceUscita() const {
    return 128 + (segnaleRicevuto ? static_cast<int>(segnaleRicevuto) : SIGINT);
}

} // namespace ondivo::platform
