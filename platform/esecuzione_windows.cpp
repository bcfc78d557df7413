#include "esecuzione.h"
#include "largo_windows.h"
#include "scadenza.h"

#include <algorithm>
#include <cwctype>
#include <memory>

namespace ondivo::platform {

namespace {

using std::chrono::milliseconds;

// One argument as the C runtime's parser (CommandLineToArgvW) reads it back: quoted when it
// is empty or holds blanks or quotes; backslashes doubled only where they precede a quote.
void aggiungiArgomento(std::wstring& riga, const std::wstring& a) {
    if (!riga.empty())
        riga += L' ';
    if (!a.empty() && a.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        riga += a;
        return;
    }
    riga += L'"';
    for (auto it = a.begin();; ++it) {
        std::size_t barre = 0;
        while (it != a.end() && *it == L'\\') {
            ++it;
            ++barre;
        }
        if (it == a.end()) {
            riga.append(barre * 2, L'\\');
            break;
        }
        if (*it == L'"') {
            riga.append(barre * 2 + 1, L'\\');
            riga += L'"';
        } else {
            riga.append(barre, L'\\');
            riga += *it;
        }
    }
    riga += L'"';
}

std::wstring rigaDiComando(const std::vector<std::string>& argomenti) {
    std::wstring riga;
    for (const auto& a : argomenti)
        aggiungiArgomento(riga, Largo(a));
    return riga;
}

// A job that ends every process in it when its last handle closes: the tool and whatever the
// tool starts.
UniqueHandle nuovoLavoro() {
    UniqueHandle lavoro(CreateJobObjectW(nullptr, nullptr));
    if (!lavoro.valido())
        return lavoro;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limiti{};
    limiti.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(lavoro.get(), JobObjectExtendedLimitInformation, &limiti,
                            sizeof limiti);
    return lavoro;
}

struct ListaAttributiDeleter {
    void operator()(LPPROC_THREAD_ATTRIBUTE_LIST lista) const {
        DeleteProcThreadAttributeList(lista);
        HeapFree(GetProcessHeap(), 0, lista);
    }
};
using ListaAttributi = std::unique_ptr<_PROC_THREAD_ATTRIBUTE_LIST, ListaAttributiDeleter>;

// An attribute list that lets the child inherit exactly these handles and no other.
ListaAttributi soloQuesteManiglie(HANDLE* maniglie, std::size_t quante) {
    SIZE_T dimensione = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &dimensione);
    auto* grezza =
        static_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(HeapAlloc(GetProcessHeap(), 0, dimensione));
    if (!grezza)
        return nullptr;
    if (!InitializeProcThreadAttributeList(grezza, 1, 0, &dimensione)) {
        HeapFree(GetProcessHeap(), 0, grezza);
        return nullptr;
    }
    ListaAttributi lista(grezza);
    if (!UpdateProcThreadAttribute(lista.get(), 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, maniglie,
                                   quante * sizeof(HANDLE), nullptr, nullptr))
        return nullptr;
    return lista;
}

EsitoProgramma terminato(HANDLE processo) {
    EsitoProgramma esito;
    esito.fine = EsitoProgramma::Fine::Terminato;
    DWORD codice = 255;
    GetExitCodeProcess(processo, &codice);
    esito.codiceUscita = codice;
    return esito;
}

// Names compare without regard to case on Windows ("Path" and "PATH" are one variable).
bool stessoNome(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
               return std::towupper(x) == std::towupper(y);
           });
}

std::wstring_view nomeVariabile(std::wstring_view voce) {
    // "=C:=C:\..." entries of the drives' current folders start with "=".
    return voce.substr(0, voce.find(L'=', 1));
}

} // namespace

EsitoProgramma EseguiProgramma(const std::vector<std::string>& argomenti,
                               const std::string& cartellaLavoro, milliseconds attesaMassima,
                               const std::atomic<bool>* annulla) {
    if (const auto subito = EsitoSenzaAvvio(argomenti, annulla))
        return *subito;
    EsitoProgramma esito;

    // The null device on the three standard streams, inheritable by this child only.
    SECURITY_ATTRIBUTES ereditabile{sizeof ereditabile, nullptr, TRUE};
    const UniqueHandle nulla(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, &ereditabile,
                                         OPEN_EXISTING, 0, nullptr));
    if (!nulla.valido())
        return esito;
    HANDLE maniglie[] = {nulla.get()};
    const ListaAttributi attributi = soloQuesteManiglie(maniglie, 1);
    if (!attributi)
        return esito;

    STARTUPINFOEXW avvio{};
    avvio.StartupInfo.cb = sizeof avvio;
    avvio.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    avvio.StartupInfo.hStdInput = nulla.get();
    avvio.StartupInfo.hStdOutput = nulla.get();
    avvio.StartupInfo.hStdError = nulla.get();
    avvio.lpAttributeList = attributi.get();

    const std::wstring programma = Largo(argomenti[0]);
    std::wstring riga = rigaDiComando(argomenti);
    const std::wstring cartella = Largo(cartellaLavoro);
    // Suspended until it is in the job, so nothing it starts can escape it.
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(programma.c_str(), riga.data(), nullptr, nullptr, TRUE,
                        CREATE_SUSPENDED | CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT |
                            CREATE_UNICODE_ENVIRONMENT,
                        nullptr, cartella.c_str(), &avvio.StartupInfo, &info))
        return esito;
    const UniqueHandle processo(info.hProcess);
    const UniqueHandle thread(info.hThread);
    const UniqueHandle lavoro = nuovoLavoro();
    const bool nelLavoro =
        lavoro.valido() && AssignProcessToJobObject(lavoro.get(), processo.get());
    ResumeThread(thread.get());

    const Scadenza scadenza(attesaMassima, annulla);
    for (;;) {
        const DWORD attesa = static_cast<DWORD>(
            std::min<milliseconds::rep>(scadenza.tratto().count(), INFINITE - 1));
        if (WaitForSingleObject(processo.get(), attesa) == WAIT_OBJECT_0)
            return terminato(processo.get());
        const bool perAnnullamento = Annullato(annulla);
        if (!perAnnullamento && scadenza.restante() > milliseconds(0))
            continue;
        // The whole job: a program that hangs may be waiting on one it started.
        if (nelLavoro)
            TerminateJobObject(lavoro.get(), 1);
        TerminateProcess(processo.get(), 1);
        WaitForSingleObject(processo.get(), 5000);
        esito.fine = perAnnullamento ? EsitoProgramma::Fine::Annullato
                                     : EsitoProgramma::Fine::Scaduto;
        return esito;
    }
}

EsitoProgramma EseguiProgrammaCollegato(const std::vector<std::string>& argomenti,
                                        const std::vector<std::string>& ambiente) {
    if (argomenti.empty())
        return {};
    // The caller's variables, less those given anew, then the new ones.
    std::vector<std::wstring> variabili;
    if (wchar_t* blocco = GetEnvironmentStringsW()) {
        for (const wchar_t* v = blocco; *v; v += wcslen(v) + 1) {
            const std::wstring_view voce(v);
            const bool sostituita =
                std::any_of(ambiente.begin(), ambiente.end(), [&](const std::string& a) {
                    const std::wstring nuovo = Largo(a);
                    return stessoNome(nomeVariabile(nuovo), nomeVariabile(voce));
                });
            if (!sostituita)
                variabili.emplace_back(voce);
        }
        FreeEnvironmentStringsW(blocco);
    }
    for (const auto& a : ambiente)
        variabili.push_back(Largo(a));
    std::wstring blocco;
    for (const auto& v : variabili) {
        blocco += v;
        blocco += L'\0';
    }
    blocco += L'\0';

    STARTUPINFOW avvio{};
    avvio.cb = sizeof avvio;
    avvio.dwFlags = STARTF_USESTDHANDLES;
    avvio.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    avvio.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    avvio.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    const std::wstring programma = Largo(argomenti[0]);
    std::wstring riga = rigaDiComando(argomenti);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(programma.c_str(), riga.data(), nullptr, nullptr, TRUE,
                        CREATE_UNICODE_ENVIRONMENT, blocco.data(), nullptr, &avvio, &info))
        return {};
    const UniqueHandle processo(info.hProcess);
    const UniqueHandle thread(info.hThread);
    WaitForSingleObject(processo.get(), INFINITE);
    return terminato(processo.get());
}

} // namespace ondivo::platform
