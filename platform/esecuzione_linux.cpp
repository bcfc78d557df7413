#include "esecuzione.h"
#include "scadenza.h"
#include "uniquefd_linux.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <spawn.h>
#include <string_view>
#include <sys/syscall.h>
#include <sys/wait.h>

extern char** environ;

namespace ondivo::platform {

namespace {

using std::chrono::milliseconds;

struct AzioniDeleter {
    void operator()(posix_spawn_file_actions_t* a) const { posix_spawn_file_actions_destroy(a); }
};
struct AttributiDeleter {
    void operator()(posix_spawnattr_t* a) const { posix_spawnattr_destroy(a); }
};

// What the child does between fork and exec: the null device on the three standard streams,
// every other descriptor closed, the working folder changed.
bool preparaAzioni(posix_spawn_file_actions_t& azioni, const std::string& cartellaLavoro) {
    return posix_spawn_file_actions_addopen(&azioni, 0, "/dev/null", O_RDONLY, 0) == 0 &&
           posix_spawn_file_actions_addopen(&azioni, 1, "/dev/null", O_WRONLY, 0) == 0 &&
           posix_spawn_file_actions_adddup2(&azioni, 1, 2) == 0 &&
           posix_spawn_file_actions_addclosefrom_np(&azioni, 3) == 0 &&
           posix_spawn_file_actions_addchdir_np(&azioni, cartellaLavoro.c_str()) == 0;
}

// The child leads a process group of its own, so that a time-out ends everything it started,
// and begins with no blocked signals and default handling, whatever the caller had set.
bool preparaAttributi(posix_spawnattr_t& attributi) {
    sigset_t nessuno;
    sigset_t tutti;
    sigemptyset(&nessuno);
    sigfillset(&tutti);
    return posix_spawnattr_setflags(&attributi, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                                    POSIX_SPAWN_SETSIGDEF) == 0 &&
           posix_spawnattr_setpgroup(&attributi, 0) == 0 &&
           posix_spawnattr_setsigmask(&attributi, &nessuno) == 0 &&
           posix_spawnattr_setsigdefault(&attributi, &tutti) == 0;
}

enum class Attesa { Finito, Scaduto, Annullato };

// Whether the child ended within the wait, the wait ran out or the caller withdrew; the child
// is not reaped here.
Attesa attendiFine(pid_t pid, milliseconds attesaMassima, const std::atomic<bool>* annulla) {
    const Scadenza scadenza(attesaMassima, annulla);
    // Through syscall(): the C library's own declaration is not usable from C++ everywhere.
    const UniqueFd pidfd(static_cast<int>(syscall(SYS_pidfd_open, pid, 0)));
    if (pidfd.get() >= 0) {
        for (;;) {
            pollfd voce{pidfd.get(), POLLIN, 0};
            const int rc = poll(
                &voce, 1, static_cast<int>(std::min<milliseconds::rep>(scadenza.tratto().count(), INT_MAX)));
            if (rc > 0)
                return Attesa::Finito;
            if (Annullato(annulla))
                return Attesa::Annullato;
            if (rc == 0 && scadenza.restante() == milliseconds(0))
                return Attesa::Scaduto;
            if (rc < 0 && errno != EINTR)
                break; // fall back to polling below
        }
    }
    // Kernels without process descriptors: look every few milliseconds.
    for (;;) {
        siginfo_t info{};
        const int rc = waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT);
        if ((rc == 0 && info.si_pid == pid) || (rc < 0 && errno == ECHILD))
            return Attesa::Finito;
        if (Annullato(annulla))
            return Attesa::Annullato;
        if (scadenza.restante() == milliseconds(0))
            return Attesa::Scaduto;
        const timespec pausa{0, 10'000'000};
        nanosleep(&pausa, nullptr);
    }
}

// A child reaped behind our back (SIGCHLD ignored) reads as a clean exit; the caller's own
// checks on the program's results then decide.
int raccogli(pid_t pid) {
    int stato = 0;
    while (waitpid(pid, &stato, 0) < 0 && errno == EINTR) {
    }
    return stato;
}

// The strings as the null-ended array of pointers exec takes.
std::vector<char*> puntatori(const std::vector<std::string>& stringhe) {
    std::vector<char*> p;
    p.reserve(stringhe.size() + 1);
    for (const auto& s : stringhe)
        p.push_back(const_cast<char*>(s.c_str()));
    p.push_back(nullptr);
    return p;
}

// How a reaped child ended.
EsitoProgramma terminato(int stato) {
    EsitoProgramma esito;
    esito.fine = EsitoProgramma::Fine::Terminato;
    if (WIFEXITED(stato))
        esito.codiceUscita = static_cast<std::uint32_t>(WEXITSTATUS(stato));
    else if (WIFSIGNALED(stato))
        esito.codiceUscita = 128u + static_cast<std::uint32_t>(WTERMSIG(stato));
    else
        esito.codiceUscita = 255u;
    return esito;
}

} // namespace

EsitoProgramma EseguiProgramma(const std::vector<std::string>& argomenti,
                               const std::string& cartellaLavoro, milliseconds attesaMassima,
                               const std::atomic<bool>* annulla) {
    if (const auto subito = EsitoSenzaAvvio(argomenti, annulla))
        return *subito;
    EsitoProgramma esito;

    posix_spawn_file_actions_t azioniGrezze;
    if (posix_spawn_file_actions_init(&azioniGrezze) != 0)
        return esito;
    const std::unique_ptr<posix_spawn_file_actions_t, AzioniDeleter> azioni(&azioniGrezze);
    posix_spawnattr_t attributiGrezzi;
    if (posix_spawnattr_init(&attributiGrezzi) != 0)
        return esito;
    const std::unique_ptr<posix_spawnattr_t, AttributiDeleter> attributi(&attributiGrezzi);
    if (!preparaAzioni(*azioni, cartellaLavoro) || !preparaAttributi(*attributi))
        return esito;

    std::vector<char*> argv = puntatori(argomenti);

    // glibc reports a failed exec (and a failed chdir) here, not through the exit status.
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], azioni.get(), attributi.get(), argv.data(), environ) != 0)
        return esito;

    if (const auto attesa = attendiFine(pid, attesaMassima, annulla); attesa != Attesa::Finito) {
        // The whole group: a program that hangs may be waiting on one it started.
        kill(-pid, SIGKILL);
        kill(pid, SIGKILL);
        raccogli(pid);
        esito.fine = attesa == Attesa::Scaduto ? EsitoProgramma::Fine::Scaduto
                                               : EsitoProgramma::Fine::Annullato;
        return esito;
    }
    return terminato(raccogli(pid));
}

EsitoProgramma EseguiProgrammaCollegato(const std::vector<std::string>& argomenti,
                                        const std::vector<std::string>& ambiente) {
    if (argomenti.empty())
        return {};
    std::vector<char*> argv = puntatori(argomenti);
    std::vector<std::string> variabili;
    for (char** v = environ; *v; ++v) {
        const std::string_view voce(*v);
        const auto nome = voce.substr(0, voce.find('=') + 1);
        // A variable given anew replaces the caller's.
        if (std::none_of(ambiente.begin(), ambiente.end(),
                         [&](const std::string& a) { return a.starts_with(nome); }))
            variabili.emplace_back(voce);
    }
    variabili.insert(variabili.end(), ambiente.begin(), ambiente.end());
    std::vector<char*> envp = puntatori(variabili);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0)
        return {};
    return terminato(raccogli(pid));
}

} // namespace ondivo::platform
