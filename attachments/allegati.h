#pragma once

#include <libxml/tree.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace ondivo {

// One attachment as the page shows it: the trimmed text of its "NomeAttachment" and
// "Attachment", as the parsed document holds them (UTF-8, CDATA sections, character and entity
// references decoded). The Base64 text is otherwise kept as written, line breaks included.
struct TAllegatoItem {
    std::string NomeFile;
    std::string DatiBase64;
};

// Records are owned one by one, so a pointer to a record stays valid however the list grows;
// the window links its list entries to records that way.
using ListaAllegati = std::vector<std::unique_ptr<TAllegatoItem>>;

// Appends the attachments of a loaded invoice, in document order: every element named
// "Allegati" (any namespace) whose first "NomeAttachment" and first "Attachment" children are
// both non-empty. Returns how many were appended. Comments, processing instructions and text
// that is not an element's are never taken for tags, since only elements are looked at.
int LeggiAllegatiDoc(const xmlDoc* fattura, ListaAllegati& lista);

// The same on a file, loaded as queries load it. Throws OndivoError when the file cannot be
// read or is not well-formed XML.
int LeggiAllegati(const std::string& file, ListaAllegati& lista);

// The names already given out by one save of several attachments, so that two attachments
// never end up in one file.
using NomiUsati = std::set<std::string>;

// Decodes one attachment (DatiDaDecodificare) and saves it in `cartella` (which must exist)
// under the safe form of its name. A file of that name already there is never replaced: when
// it holds the same bytes it is kept and used, otherwise the attachment takes the next free
// name, "nome (2).ext", "nome (3).ext" and so on; names in `usati` count as taken, and the
// name given is added. Returns the full path of the file that holds the attachment. Throws
// EErroreCodifica before any file is made, or platform::EFileStreamError.
std::string SalvaAllegato(const TAllegatoItem& allegato, const std::string& cartella,
                          NomiUsati* usati = nullptr);

// Decodes one attachment into the file `destinazione`, chosen by the user: a file there is
// replaced, only by the whole attachment (never left half written). Throws EErroreCodifica
// before any file is made, or platform::EFileStreamError.
void SalvaAllegatoCome(const TAllegatoItem& allegato, const std::string& destinazione);

// Saves every attachment of the invoice file into `cartella` (created with its parents), each
// in a file of its own, and returns how many were saved. The first failure ends the work: its
// message goes to `messaggio`, the files saved before it stay and nothing partial is left.
// A missing file gives 0 and no message.
int SalvaAllegati(const std::string& file, const std::string& cartella, std::string& messaggio);

// Where attachments are saved: the program's attachment folder, created when missing; when
// the program folder cannot be written (an installation under /usr, a read-only medium), the
// user's own ALLEGATI folder in the program's data folder. Empty when neither can be made.
std::string CartellaAllegati();

// True when CartellaAllegati() is the user's folder rather than the program's.
bool CartellaAllegatiUtente(const std::string& cartella);

} // namespace ondivo
