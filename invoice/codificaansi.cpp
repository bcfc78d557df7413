#include "codificaansi.h"
#include "ansicodec.h"

#include <libxml/encoding.h>

#include <cstring>
#include <mutex>
#include <string>

namespace ondivo {

namespace {

// Windows-1252 bytes to UTF-8, as many whole characters as fit.
int daAnsi(unsigned char* uscita, int* lunghezzaUscita, const unsigned char* ingresso,
           int* lunghezzaIngresso) {
    int letti = 0;
    int scritti = 0;
    std::string carattere;
    while (letti < *lunghezzaIngresso) {
        carattere.clear();
        AppendUtf8(carattere, AnsiCodePoint(ingresso[letti]));
        if (scritti + static_cast<int>(carattere.size()) > *lunghezzaUscita)
            break;
        std::memcpy(uscita + scritti, carattere.data(), carattere.size());
        scritti += static_cast<int>(carattere.size());
        ++letti;
    }
    *lunghezzaIngresso = letti;
    *lunghezzaUscita = scritti;
    return scritti;
}

// UTF-8 to Windows-1252; a character the code page lacks is an error (-2), as libxml2's own
// converters report it, so that the writer can fall back to a character reference.
int aAnsi(unsigned char* uscita, int* lunghezzaUscita, const unsigned char* ingresso,
          int* lunghezzaIngresso) {
    if (!ingresso) { // end of the output: nothing is held back
        *lunghezzaUscita = 0;
        *lunghezzaIngresso = 0;
        return 0;
    }
    const std::string_view testo(reinterpret_cast<const char*>(ingresso),
                                 static_cast<std::size_t>(*lunghezzaIngresso));
    std::size_t letti = 0;
    int scritti = 0;
    int esito = 0;
    while (letti < testo.size() && scritti < *lunghezzaUscita) {
        const unsigned char primo = static_cast<unsigned char>(testo[letti]);
        const std::size_t lunghezza = primo < 0x80 ? 1 : primo < 0xE0 ? 2 : primo < 0xF0 ? 3 : 4;
        if (letti + lunghezza > testo.size())
            break; // a character cut at the end of this block comes whole with the next
        std::size_t i = letti;
        const int byte = AnsiByteFor(DecodeUtf8(testo, i));
        if (byte < 0) {
            esito = -2;
            break;
        }
        uscita[scritti++] = static_cast<unsigned char>(byte);
        letti = i;
    }
    *lunghezzaIngresso = static_cast<int>(letti);
    *lunghezzaUscita = scritti;
    return esito < 0 ? esito : scritti;
}

} // namespace

void RegistraCodificaAnsi() {
    static std::once_flag fatto;
    std::call_once(fatto, [] {
        if (xmlCharEncodingHandlerPtr noto = xmlFindCharEncodingHandler("windows-1252")) {
            xmlCharEncCloseFunc(noto);
            return;
        }
        // Registered with libxml2 for the program's life.
        xmlNewCharEncodingHandler("windows-1252", daAnsi, aAnsi);
        xmlAddEncodingAlias("windows-1252", "CP1252");
    });
}

} // namespace ondivo
