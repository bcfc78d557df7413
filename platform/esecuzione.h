#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace ondivo::platform {

// How a program started by EseguiProgramma ended.
struct EsitoProgramma {
    enum class Fine {
        NonAvviato, // the system could not start it (missing, not executable, bad folder)
        Terminato,  // it ended by itself; codiceUscita holds its status
        Scaduto,    // it was still running when the wait ran out, and was ended
        Annullato,  // the caller's cancellation flag was set first; it was ended, or not started
    };
    Fine fine = Fine::NonAvviato;
    // The program's exit status; a program killed by a signal counts as a failure, with a
    // non-zero code (128 + the signal's number on Linux).
    std::uint32_t codiceUscita = 0;
};

// Starts the program argomenti[0] (a full path, not looked up in PATH) with the rest as its
// arguments, in the given working folder, with the caller's environment, without a window,
// with no standard streams (they lead nowhere, so nothing can block on a full pipe) and no
// inherited handles, and waits for it to end. When attesaMassima passes first, the program and
// whatever it started are ended before the call returns Scaduto. While it waits the call looks
// at *annulla (when given, from any thread) every few milliseconds: once it is true, the
// program and whatever it started are ended likewise and the call returns Annullato.
EsitoProgramma EseguiProgramma(const std::vector<std::string>& argomenti,
                               const std::string& cartellaLavoro,
                               std::chrono::milliseconds attesaMassima,
                               const std::atomic<bool>* annulla = nullptr);

// Starts the program argomenti[0] (a full path) with the rest as its arguments, in the current
// folder, with the caller's standard streams and environment plus the variables of `ambiente`
// ("NOME=valore"), and waits for it to end however long it takes. Returns its exit status as
// EsitoProgramma does; Fine::NonAvviato when it could not be started.
EsitoProgramma EseguiProgrammaCollegato(const std::vector<std::string>& argomenti,
                                        const std::vector<std::string>& ambiente);

} // namespace ondivo::platform
