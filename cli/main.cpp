#include "avvio.h"
#include "commands.h"
#include "errors.h"
#include "executablepath.h"
#include "lctv.h"
#include "text.h"

#include <array>
#include <cstring>
#include <exception>
#include <iostream>

using namespace ondivo;
using namespace ondivo::cli;

namespace {

constexpr std::array kComandi = {
    Comando{"info", "info FILE [--json]", ComandoInfo},
    Comando{"p7m", "p7m FILE.p7m", ComandoP7m},
    Comando{"html", "html FILE [-o OUT] [--foglio FOGLIO.xsl]", ComandoHtml},
    Comando{"pdf", "pdf FILE... [-o OUT.pdf | -d DIR] [--sovrascrivi] [--foglio FOGLIO.xsl]",
            ComandoPdf},
    Comando{"allegati", "allegati FILE", ComandoAllegati},
    Comando{"estrai", "estrai FILE [DIR]", ComandoEstrai},
    Comando{"base64", "base64 FILE", ComandoBase64},
    Comando{"elenco", "elenco PERCORSO... [--json | --csv]", ComandoElenco},
    Comando{"firma", "firma FILE [--json] [--rete]", ComandoFirma},
    Comando{"fiducia", "fiducia stato | importa ELENCO.xml | aggiorna [INDIRIZZO]", ComandoFiducia},
};

int uso() {
    std::cerr << "Uso:\n";
    for (const auto& c : kComandi)
        std::cerr << "  ondivo-cli " << c.uso << '\n';
    return EsitoUso;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> argomenti = platform::AvviaProgramma(argc, argv);
    if (argomenti.size() < 2)
        return uso();
    ImpostaAppDir(CartellaProgramma(platform::PercorsoEseguibile()));
    for (const auto& c : kComandi) {
        if (argomenti[1] != c.nome)
            continue;
        try {
            const int esito = c.esegui(Argomenti(argomenti.begin() + 2, argomenti.end()));
            return esito == EsitoUso ? uso() : esito;
        } catch (const ESilentAbort&) {
            return EsitoErrore;
        } catch (const std::exception& e) {
            std::cerr << TestoBoxErrore(e.what()) << '\n';
            return EsitoErrore;
        }
    }
    return uso();
}
