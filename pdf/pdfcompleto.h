#pragma once

#include <string>
#include <vector>

namespace ondivo {

// A file a PDF carries inside it, under its name.
struct FileIncorporato {
    std::string nome;        // UTF-8, as the PDF reader lists it
    std::string dati;        // the bytes, as they are
    std::string tipo;        // MIME type; empty when not known
    std::string descrizione; // UTF-8; empty for none
};

// The document information a PDF reader shows (UTF-8).
struct MetadatiPdf {
    std::string titolo;
    std::string autore;
    std::string soggetto;
};

// The PDF an engine printed (its bytes), with its document information set, its pages
// numbered (NumeraPagine) and the files added as embedded files, in the order given. A name
// given twice is numbered ("nome (2).ext"). With `pagine` (1-based numbers, empty for all),
// only those pages are kept, each with the number it has in the whole.
// Returns the bytes of the new PDF. Throws OndivoError "Impossibile preparare il PDF: …" when
// the printed PDF cannot be read or written anew, or when none of `pagine` exists.
std::string CompletaPdf(const std::string& pdf, const MetadatiPdf& metadati,
                        const std::vector<FileIncorporato>& file,
                        const std::vector<int>& pagine = {});

} // namespace ondivo
