#pragma once

#include <array>
#include <string>

namespace ondivo {

// The program's folder, ending in the path delimiter; empty until the window resolves it.
// Every path the program builds starts here.
const std::string& AppDir();
void ImpostaAppDir(std::string cartella);

// Working folders, relative names always used behind AppDir().
inline constexpr const char* DirAllegati = "ALLEGATI/";
inline constexpr const char* DirFogliStile = "FODISTILE/";
inline constexpr const char* DirFatture = "FATTURE/";
inline constexpr const char* DirOssl = "ossl/";

// The folder part of an executable's full path (up to and including the last delimiter),
// with exactly one delimiter at its end; empty when the path has no folder part.
std::string CartellaProgramma(const std::string& percorsoEseguibile);

// One document type: the code as an invoice writes it and its Italian description.
struct TDocSDIRec {
    const char* Codice;
    const char* Descrizione;
};

extern const std::array<TDocSDIRec, 23> TabTipiDoc;

// "code description" for a code of the table (exact, case-sensitive), else "".
std::string DescrTipoDoc(const std::string& codice);

} // namespace ondivo
