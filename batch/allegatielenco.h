#pragma once

#include "elenco.h"

#include <atomic>
#include <map>
#include <string>

namespace ondivo {

// The name of the folder an invoice's attachments are saved in: "Rossi S.r.l. FT 7-2024",
// supplier and number as the list has them, what a file system refuses made "-"; the file's
// own name without its extension when both are empty. Always a plain name (NomeFileSicuro).
std::string NomeCartellaAllegati(const RigaElenco& riga);

// Gives each invoice of one save its own folder under `base`: NomeCartellaAllegati, numbered
// "nome (2)", "nome (3)"… at the end of the name (never inside it: "Rossi S.r.l. 7-2024 (2)")
// when another file of the same save took the name or something of that name is already
// there: a folder of an earlier save, maybe of another invoice, is never reused. A file asked
// for again in the same save gets its folder again.
class CartelleAllegati {
public:
    explicit CartelleAllegati(std::string base) : m_base(std::move(base)) {}
    std::string cartellaDi(const RigaElenco& riga);

private:
    std::string m_base;
    std::map<std::string, std::string> m_fileDiNome; // folder name -> the file that has it
};

// Saves every attachment of the invoice file into `cartella`, made with its parents when the
// invoice has any; nothing there is ever replaced (SalvaAllegato). Returns how many were
// saved. Throws OndivoError with the reason: a file that is not an invoice, a folder that
// cannot be made, an attachment that does not decode (those saved before it stay).
// With `annulla` become true it stops before the next attachment and throws EAnnullata.
int SalvaAllegatiFattura(const std::string& percorso, const std::string& cartella,
                         const std::atomic<bool>* annulla = nullptr);

} // namespace ondivo
