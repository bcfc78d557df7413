#include "commands.h"
#include "errors.h"
#include "esecuzione.h"
#include "files.h"
#include "fileutil.h"
#include "lctv.h"
#include "safename.h"
#include "text.h"

#include <cctype>
#include <set>
#include <string_view>

namespace ondivo::cli {

namespace {

// Whether the name ends in `fine` (small letters), in any letter case.
bool finisceCon(const std::string& nome, std::string_view fine) {
    if (nome.size() < fine.size())
        return false;
    const std::size_t da = nome.size() - fine.size();
    for (std::size_t i = 0; i < fine.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(nome[da + i])) != fine[i])
            return false;
    return true;
}

// "X.xml", "X.xml.p7m" and "X.p7m" give "X.pdf"; any other name gets ".pdf" added.
std::string nomePdf(const std::string& fattura) {
    std::string nome = NomeFile(fattura);
    for (const char* estensione : {".p7m", ".xml"})
        if (finisceCon(nome, estensione))
            nome.resize(nome.size() - 4);
    return NomeFileSicuro((nome.empty() ? std::string("fattura") : nome) + ".pdf");
}

} // namespace

// The invoices as PDF, made by the viewer's own page engine without a window: one engine for
// all the files of the call.
int ComandoPdf(const Argomenti& argomenti) {
    std::vector<std::string> fatture;
    std::string uscita;
    std::string cartella;
    std::string foglio;
    bool sovrascrivi = false;
    for (std::size_t i = 0; i < argomenti.size(); ++i) {
        const std::string& a = argomenti[i];
        if (a == "--sovrascrivi" && !sovrascrivi) {
            sovrascrivi = true;
        } else if ((a == "-o" || a == "-d" || a == OpzioneFoglio) && i + 1 < argomenti.size() &&
                   !argomenti[i + 1].empty()) {
            std::string& dove = a == "-o" ? uscita : a == "-d" ? cartella : foglio;
            if (!dove.empty())
                return EsitoUso;
            dove = argomenti[++i];
        } else if (a != "-o" && a != "-d" && a != OpzioneFoglio && a != "--sovrascrivi" &&
                   !Trim(a).empty()) {
            fatture.push_back(a);
        } else {
            return EsitoUso;
        }
    }
    if (fatture.empty() || (!uscita.empty() && (fatture.size() != 1 || !cartella.empty())) ||
        (!foglio.empty() && !FoglioDato(foglio)))
        return EsitoUso;

    std::vector<std::string> comando{AppDir() + "ondivo", "--pdf"};
    // One word, so that a viewer that does not know it refuses the call (an odd count of
    // paths) rather than taking the stylesheet for an invoice.
    if (!foglio.empty())
        comando.push_back(std::string(OpzioneFoglio) + "=" + platform::PercorsoCompleto(foglio));
    if (sovrascrivi)
        comando.push_back("--sovrascrivi");
    if (!uscita.empty()) {
        comando.insert(comando.end(), {fatture.front(), uscita});
    } else {
        if (cartella.empty())
            cartella = ".";
        std::string motivo;
        if (!platform::CreaCartella(cartella, motivo))
            throw OndivoError("Impossibile creare la cartella " +
                              platform::PercorsoCompleto(cartella) + ": " + motivo);
        // Two invoices of one name in different folders get two PDFs.
        std::set<std::string> usati;
        for (const auto& fattura : fatture) {
            const std::string nome = nomePdf(fattura);
            std::string libero = nome;
            // A file already in the folder keeps its place, unless the user asked otherwise.
            for (int n = 2;
                 usati.count(libero) ||
                 (!sovrascrivi && (FileEsiste(PercorsoAllegato(cartella, libero)) ||
                                   platform::ECartella(PercorsoAllegato(cartella, libero))));
                 ++n)
                libero = NomeNumerato(nome, n);
            usati.insert(libero);
            comando.insert(comando.end(), {fattura, PercorsoAllegato(cartella, libero)});
        }
    }
    const auto esito = platform::EseguiProgrammaCollegato(comando, {"QT_QPA_PLATFORM=offscreen"});
    if (esito.fine != platform::EsitoProgramma::Fine::Terminato)
        throw OndivoError("Impossibile avviare " + comando.front() + ", che crea i PDF");
    return esito.codiceUscita == 0 ? EsitoOk : EsitoErrore;
}

} // namespace ondivo::cli
