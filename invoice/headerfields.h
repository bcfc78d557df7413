#pragma once

#include "messagesink.h"

#include <libxml/tree.h>

#include <optional>
#include <string>
#include <vector>

namespace ondivo {

// How a header label shows what its query found.
enum class Resa {
    Valore,          // the joined texts
    DescrizioneTipo, // the joined code through the table of document types
    Fornitore,       // the joined texts; without a Denominazione, the supplier's name found
                     // otherwise (a person's Nome and Cognome, or a simplified invoice's)
};

// One header value shown by the window: the query that finds it and how it is shown.
struct CampoIntestazione {
    const char* percorso;
    Resa resa;
};

// The four header queries, in the order they run: supplier, document type, date, number.
inline constexpr CampoIntestazione CampoFornitore{
    "CedentePrestatore.DatiAnagrafici.Anagrafica.Denominazione", Resa::Fornitore};
inline constexpr CampoIntestazione CampoTipoDoc{"DatiGenerali.DatiGeneraliDocumento.TipoDocumento",
                                                Resa::DescrizioneTipo};
inline constexpr CampoIntestazione CampoData{"DatiGenerali.DatiGeneraliDocumento.Data",
                                             Resa::Valore};
inline constexpr CampoIntestazione CampoNumero{"DatiGenerali.DatiGeneraliDocumento.Numero",
                                               Resa::Valore};

inline constexpr const char* PercorsoFormato = "FormatoTrasmissione";

// The text a header label shows for one field of the file, or nothing when the query found
// nothing. ANSI. May raise EXMLDocError.
std::optional<std::string> LeggiCampoIntestazione(const std::string& file,
                                                  const CampoIntestazione& campo,
                                                  std::vector<std::string>& lista,
                                                  MessageSink& avvisi);

// The same on a document loaded with CaricaXml: the four fields of a file for one load.
std::optional<std::string> LeggiCampoIntestazione(xmlDoc* doc, const CampoIntestazione& campo,
                                                  std::vector<std::string>& lista);

// The supplier's name when no Denominazione names it: for every CedentePrestatore, in document
// order, the Denominazione or "Nome Cognome" of its Anagrafica, or else of the element itself
// (the simplified invoice), joined as query results are. Nothing when none has a name. ANSI.
std::optional<std::string> NomeFornitoreAlternativo(const std::string& file);
std::optional<std::string> NomeFornitoreAlternativo(xmlDoc* doc);

} // namespace ondivo
