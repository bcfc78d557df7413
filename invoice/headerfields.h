#pragma once

#include "messagesink.h"

#include <optional>
#include <string>
#include <vector>

namespace ondivo {

// One header value shown by the window: the query that finds it, and whether the found code
// is shown through the table of document types.
struct CampoIntestazione {
    const char* percorso;
    bool tipoDocumento;
};

// The four header queries, in the order they run: supplier, document type, date, number.
inline constexpr CampoIntestazione CampoFornitore{
    "CedentePrestatore.DatiAnagrafici.Anagrafica.Denominazione", false};
inline constexpr CampoIntestazione CampoTipoDoc{"DatiGenerali.DatiGeneraliDocumento.TipoDocumento",
                                                true};
inline constexpr CampoIntestazione CampoData{"DatiGenerali.DatiGeneraliDocumento.Data", false};
inline constexpr CampoIntestazione CampoNumero{"DatiGenerali.DatiGeneraliDocumento.Numero", false};

inline constexpr const char* PercorsoFormato = "FormatoTrasmissione";

// The text a header label shows for one field of the file, or nothing when the query found
// nothing (the label is then left as it is). ANSI. May raise EXMLDocError.
std::optional<std::string> LeggiCampoIntestazione(const std::string& file,
                                                  const CampoIntestazione& campo,
                                                  std::vector<std::string>& lista,
                                                  MessageSink& avvisi);

} // namespace ondivo
