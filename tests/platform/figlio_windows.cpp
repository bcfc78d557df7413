// A small program the Windows process tests start: it reports what it received and does what
// it is told, so that quoting, folders, exit codes, time-outs and job clean-up can be checked.
//   figlio argomenti FILE ARG...    writes each ARG as "<bytes>:<ARG>\n"
//   figlio esci N                   ends with exit code N
//   figlio cartella FILE            writes its working folder
//   figlio ambiente NOME FILE       writes the variable's value
//   figlio nipote FILE              starts "figlio scrivi-dopo 3000 FILE" and waits a minute
//   figlio scrivi-dopo MS FILE      writes "vivo" into FILE after MS milliseconds
#include "avvio.h"
#include "files.h"
#include "largo_windows.h"

#include <cstdlib>
#include <string>

using namespace ondivo::platform;

int main(int argc, char** argv) {
    const auto a = AvviaProgramma(argc, argv);
    if (a.size() < 3)
        return 100;
    const std::string& comando = a[1];
    if (comando == "argomenti") {
        std::string testo;
        for (std::size_t i = 3; i < a.size(); ++i)
            testo += std::to_string(a[i].size()) + ":" + a[i] + "\n";
        ScriviFile(a[2], testo);
        return 0;
    }
    if (comando == "esci")
        return std::atoi(a[2].c_str());
    if (comando == "cartella") {
        wchar_t cartella[MAX_PATH];
        const DWORD n = GetCurrentDirectoryW(MAX_PATH, cartella);
        ScriviFile(a[2], Stretto(std::wstring(cartella, n)));
        return 0;
    }
    if (comando == "ambiente" && a.size() > 3) {
        const wchar_t* valore = _wgetenv(Largo(a[2]).c_str());
        ScriviFile(a[3], valore ? Stretto(valore) : "(assente)");
        return 0;
    }
    if (comando == "nipote") {
        wchar_t sestesso[MAX_PATH];
        GetModuleFileNameW(nullptr, sestesso, MAX_PATH);
        std::wstring riga = L"figlio scrivi-dopo 3000 \"" + Largo(a[2]) + L"\"";
        STARTUPINFOW avvio{};
        avvio.cb = sizeof avvio;
        PROCESS_INFORMATION info{};
        if (!CreateProcessW(sestesso, riga.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &avvio, &info))
            return 101;
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        Sleep(60000);
        return 0;
    }
    if (comando == "scrivi-dopo" && a.size() > 3) {
        Sleep(static_cast<DWORD>(std::atoi(a[2].c_str())));
        ScriviFile(a[3], "vivo");
        return 0;
    }
    return 100;
}
