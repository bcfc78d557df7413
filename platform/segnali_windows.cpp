#include "segnali.h"

#include <windows.h>

namespace ondivo::platform {

// Windows has no SIGPIPE: a write to a closed socket fails with an error.
struct SenzaSigpipe::Stato {};

SenzaSigpipe::SenzaSigpipe() = default;
SenzaSigpipe::~SenzaSigpipe() = default;

namespace {

std::atomic<bool> interrotto{false};

BOOL WINAPI suInterruzione(DWORD) {
    if (interrotto.exchange(true))
        return FALSE; // a second time: the default, which ends the program
    return TRUE;
}

} // namespace

Interruzione::Interruzione() {
    SetConsoleCtrlHandler(suInterruzione, TRUE);
}

Interruzione::~Interruzione() {
    SetConsoleCtrlHandler(suInterruzione, FALSE);
}

const std::atomic<bool>* Interruzione::richiesta() const {
    return &interrotto;
}

int Interruzione::codiceUscita() const {
    return 130;
}

} // namespace ondivo::platform
