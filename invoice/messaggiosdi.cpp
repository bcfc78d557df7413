#include "messaggiosdi.h"

#include "calendario.h"
#include "text.h"

#include <array>
#include <cctype>
#include <string_view>

namespace ondivo {

namespace {

struct TipoMessaggio {
    const char* radice; // the local name of the document element
    const char* codice;
    const char* descrizione;
    const char* stato; // what it makes of the invoice; "" when that hangs on its outcome or none
};

// The two channels name some messages differently (RicevutaScarto for NotificaScarto,
// FileMetadati for MetadatiInvioFile...): both names mean the same message.
constexpr std::array<TipoMessaggio, 13> TipiMessaggio = {{
    {"RicevutaConsegna", "RC", "Ricevuta di consegna", "consegnata"},
    {"NotificaScarto", "NS", "Notifica di scarto", "scartata"},
    {"RicevutaScarto", "NS", "Notifica di scarto", "scartata"},
    {"NotificaMancataConsegna", "MC", "Notifica di mancata consegna", "non consegnata"},
    {"RicevutaImpossibilitaRecapito", "MC", "Notifica di mancata consegna", "non consegnata"},
    {"NotificaEsito", "NE", "Notifica di esito", ""},
    {"NotificaDecorrenzaTermini", "DT", "Notifica di decorrenza termini", "decorrenza termini"},
    {"AttestazioneTrasmissioneFattura", "AT",
     "Attestazione di avvenuta trasmissione della fattura con impossibilit\xC3\xA0 di recapito",
     "non consegnata"},
    {"NotificaEsitoCommittente", "EC", "Esito committente", ""},
    {"EsitoCommittente", "EC", "Esito committente", ""},
    {"ScartoEsitoCommittente", "SE", "Scarto esito committente", ""},
    {"MetadatiInvioFile", "MT", "File dei metadati", ""},
    {"FileMetadati", "MT", "File dei metadati", ""},
}};

std::string_view testoXml(const xmlChar* s) {
    return s ? std::string_view(reinterpret_cast<const char*>(s)) : std::string_view();
}

bool namespaceDeiMessaggi(const xmlNode* elemento) {
    if (!elemento->ns)
        return false;
    const std::string_view uri = testoXml(elemento->ns->href);
    return uri == NamespaceMessaggiSdI || uri == NamespaceMessaggiFattura;
}

// The first element child of that local name, in any namespace or none.
const xmlNode* figlio(const xmlNode* elemento, std::string_view nome) {
    if (!elemento)
        return nullptr;
    for (const xmlNode* f = elemento->children; f; f = f->next)
        if (f->type == XML_ELEMENT_NODE && testoXml(f->name) == nome)
            return f;
    return nullptr;
}

// The element's own text and CDATA, trimmed; "" for a missing element. Child elements are
// skipped rather than refused: a message is read as far as it can be.
std::string testo(const xmlNode* elemento) {
    if (!elemento)
        return {};
    std::string t;
    for (const xmlNode* f = elemento->children; f; f = f->next)
        if (f->type == XML_TEXT_NODE || f->type == XML_CDATA_SECTION_NODE)
            t += testoXml(f->content);
    return std::string(Trim(t));
}

std::string testoFiglio(const xmlNode* elemento, std::string_view nome) {
    return testo(figlio(elemento, nome));
}

// The date part of an xs:dateTime; anything not shaped like one is given as written.
std::string soloData(const std::string& valore) {
    const auto cifre = [&](std::size_t da, std::size_t quante) {
        for (std::size_t i = da; i < da + quante; ++i)
            if (!std::isdigit(static_cast<unsigned char>(valore[i])))
                return false;
        return true;
    };
    if (valore.size() >= 10 && cifre(0, 4) && valore[4] == '-' && cifre(5, 2) && valore[7] == '-' &&
        cifre(8, 2))
        return valore.substr(0, 10);
    return valore;
}

std::string statoDaEsito(const std::string& esito) {
    if (esito == "EC01")
        return "accettata";
    if (esito == "EC02")
        return "rifiutata";
    return {};
}

} // namespace

std::optional<MessaggioSdI> LeggiMessaggioSdI(xmlDoc* documento) {
    const xmlNode* radice = documento ? xmlDocGetRootElement(documento) : nullptr;
    if (!radice || !namespaceDeiMessaggi(radice))
        return std::nullopt;
    const std::string_view nome = testoXml(radice->name);
    for (const auto& tipo : TipiMessaggio) {
        if (nome != tipo.radice)
            continue;
        MessaggioSdI m;
        m.codice = tipo.codice;
        m.descrizione = tipo.descrizione;
        m.statoFattura = tipo.stato;
        m.identificativoSdI = testoFiglio(radice, "IdentificativoSdI");
        m.nomeFile = testoFiglio(radice, "NomeFile");
        m.dataOraRicezione = testoFiglio(radice, "DataOraRicezione");
        m.dataOraConsegna = testoFiglio(radice, "DataOraConsegna");
        m.dataMessaADisposizione = testoFiglio(radice, "DataMessaADisposizione");
        m.messageId = testoFiglio(radice, "MessageId");
        if (m.codice == "NE")
            m.esito = testoFiglio(figlio(radice, "EsitoCommittente"), "Esito");
        else if (m.codice == "EC")
            m.esito = testoFiglio(radice, "Esito");
        if (m.codice == "NE" || m.codice == "EC")
            m.statoFattura = statoDaEsito(m.esito);
        const std::string& dataOra =
            m.codice == "RC" && !m.dataOraConsegna.empty() ? m.dataOraConsegna : m.dataOraRicezione;
        m.istante = IstanteDataOra(dataOra);
        if (m.istante) {
            m.dataOra = OraItaliana(*m.istante);
            m.data = m.dataOra.substr(0, 10);
        } else {
            m.data = soloData(dataOra);
        }
        m.hash = MinuscoleAscii(testoFiglio(radice, "Hash"));
        if (const xmlNode* lista = figlio(radice, "ListaErrori"))
            for (const xmlNode* e = lista->children; e; e = e->next)
                if (e->type == XML_ELEMENT_NODE && testoXml(e->name) == "Errore")
                    m.codiciErrore.push_back(testoFiglio(e, "Codice"));
        return m;
    }
    return std::nullopt;
}

} // namespace ondivo
