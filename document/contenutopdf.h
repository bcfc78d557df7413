#pragma once

#include "documentoaperto.h"
#include "pdfcompleto.h"

#include <string>
#include <vector>

namespace ondivo {

// What the PDF of an opened invoice holds besides its pages.
struct ContenutoPdf {
    MetadatiPdf metadati;
    std::vector<FileIncorporato> file;
    std::vector<std::string> origini; // the files read for it: a PDF never takes their place
};

// For an invoice opened from `scelto` (ApriDocumento with the header and the attachment list):
//   - title "Fattura n. 12 del 02/04/2024" (the document type's word, else "Documento"),
//     author the supplier, subject the document type as the window shows it; of a file of
//     several documents, the first one's;
//   - the files: the invoice XML as read, the signed envelope too when `scelto` is one, then
//     every attachment decoded, under the safe form of its name. An attachment whose text
//     does not decode goes in as that text, named "<nome>.base64", so nothing is left out.
// Throws platform::EFileStreamError when the invoice file cannot be read again.
ContenutoPdf PreparaContenutoPdf(const DocumentoAperto& documento, const std::string& scelto);

// The file name a save dialog proposes: "2024-04-02 Nordest Software S.r.l. FT 2024-0093.pdf",
// date, supplier and number as the header has them (the first of each), what a file system
// refuses made "-" or left out; "fattura.pdf" from the invoice's own name when the header is
// empty.
std::string NomePdfProposto(const DocumentoAperto& documento, const std::string& scelto);

// The engine's PDF (`stampato`) completed with `contenuto` and written to `destinazione`,
// which is replaced only by a whole file; with `pagine` (1-based), only those pages
// (CompletaPdf). Throws OndivoError with the file's name, and, before writing anything, when
// `destinazione` is one of the files the content was read from.
void ScriviPdf(const std::string& stampato, const ContenutoPdf& contenuto,
               const std::string& destinazione, const std::vector<int>& pagine = {});

} // namespace ondivo
