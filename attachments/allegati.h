#pragma once

#include <memory>
#include <string>
#include <vector>

namespace ondivo {

// One attachment as the invoice writes it: both texts are the file's bytes, trimmed, with
// nothing decoded (entity references stay as written, line breaks inside the Base64 text
// stay as CR LF).
struct TAllegatoItem {
    std::string NomeFile;
    std::string DatiBase64;
};

// Records are owned one by one, so a pointer to a record stays valid however the list grows;
// the window links its list entries to records that way.
using ListaAllegati = std::vector<std::unique_ptr<TAllegatoItem>>;

// Appends the attachments of the invoice file, in document order, each "<Allegati>" block
// with a non-empty "NomeAttachment" and "Attachment"; returns how many were appended.
// Throws EFileStreamError when the file cannot be read.
int LeggiAllegati(const std::string& file, ListaAllegati& lista);

// Decodes every attachment of the invoice file into `cartella` (created with its parents
// when missing), replacing files of the same name, and returns the number of files written.
// A Base64 text may begin with a data-URL header: the first "base64," in any letter case and
// everything before it are dropped. The first failure ends the scan; its message goes to
// `messaggio` and the files written before it stay. A missing file gives 0 and no message.
int SalvaAllegati(const std::string& file, const std::string& cartella, std::string& messaggio);

// Decodes one attachment's Base64 text as it stands and writes it into `cartella` under the
// safe form of its name; returns the path written. Throws EErroreCodifica (before any file is
// created) or EFileStreamError.
std::string SalvaAllegato(const TAllegatoItem& allegato, const std::string& cartella);

} // namespace ondivo
