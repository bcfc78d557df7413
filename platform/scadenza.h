#pragma once

// Shared by the systems' EseguiProgramma: the steps before a program starts and the wait for
// it, with its deadline and the looks at the caller's cancellation flag.

#include "esecuzione.h"

#include <algorithm>
#include <optional>

namespace ondivo::platform {

inline bool Annullato(const std::atomic<bool>* annulla) {
    return annulla && annulla->load(std::memory_order_acquire);
}

// What EseguiProgramma returns without starting anything: an empty command cannot start, a
// withdrawn one is not started. nullopt when the program is to be started.
inline std::optional<EsitoProgramma> EsitoSenzaAvvio(const std::vector<std::string>& argomenti,
                                                     const std::atomic<bool>* annulla) {
    if (argomenti.empty())
        return EsitoProgramma{};
    if (Annullato(annulla))
        return EsitoProgramma{EsitoProgramma::Fine::Annullato, 0};
    return std::nullopt;
}

// The wait for a running program, from the moment it is made.
class Scadenza {
public:
    Scadenza(std::chrono::milliseconds attesaMassima, const std::atomic<bool>* annulla)
        : m_inizio(std::chrono::steady_clock::now()), m_attesaMassima(attesaMassima),
          m_annulla(annulla) {}

    // What is left of the wait; zero once it has run out.
    std::chrono::milliseconds restante() const {
        const auto trascorso = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - m_inizio);
        return std::max(m_attesaMassima - trascorso, std::chrono::milliseconds(0));
    }
    // The longest single wait: up to the deadline, or to the next look at the flag.
    std::chrono::milliseconds tratto() const {
        return m_annulla ? std::min(restante(), kIntervallo) : restante();
    }

private:
    // How often a cancellation flag is looked at while the program runs.
    static constexpr std::chrono::milliseconds kIntervallo{20};

    std::chrono::steady_clock::time_point m_inizio;
    std::chrono::milliseconds m_attesaMassima;
    const std::atomic<bool>* m_annulla;
};

} // namespace ondivo::platform
