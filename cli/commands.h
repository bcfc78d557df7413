#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ondivo::cli {

// Exit statuses of every subcommand.
inline constexpr int EsitoOk = 0;
inline constexpr int EsitoErrore = 1; // a message or an error was shown
inline constexpr int EsitoUso = 2;    // wrong arguments

using Argomenti = std::vector<std::string>;

struct Comando {
    const char* nome;
    const char* uso;
    int (*esegui)(const Argomenti& argomenti);
};

// The arguments "FILE [--json]" in either order: the file, with `json` set when asked for;
// nullopt for anything else (no file, a blank one, a second file).
std::optional<std::string> FileEJson(const Argomenti& argomenti, bool& json);

// The option of html and pdf that names the user's own stylesheet.
inline constexpr const char* OpzioneFoglio = "--foglio";

// True when the stylesheet given with OpzioneFoglio is a file; otherwise says so on standard
// error: a missing file is a wrong argument, while a file that is no usable stylesheet only
// leaves the page to Ondivo's.
bool FoglioDato(const std::string& foglio);

int ComandoInfo(const Argomenti& argomenti);
int ComandoP7m(const Argomenti& argomenti);
int ComandoHtml(const Argomenti& argomenti);
int ComandoPdf(const Argomenti& argomenti);
int ComandoAllegati(const Argomenti& argomenti);
int ComandoEstrai(const Argomenti& argomenti);
int ComandoBase64(const Argomenti& argomenti);
int ComandoFirma(const Argomenti& argomenti);
int ComandoFiducia(const Argomenti& argomenti);
int ComandoElenco(const Argomenti& argomenti);

} // namespace ondivo::cli
