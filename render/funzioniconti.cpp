#include "funzioniconti.h"

#include "messaggiosdi.h"
#include "oraitaliana.h"

#include <libxml/xpathInternals.h>
#include <libxslt/extensions.h>

#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace ondivo {

namespace {

const xmlChar* nome(const char* testo) {
    return reinterpret_cast<const xmlChar*>(testo);
}

// The figures the page asks for by name, as the document's data hold them.
constexpr std::pair<std::string_view, std::string DatiDocumento::*> kCampi[] = {
    {"totale", &DatiDocumento::totale},
    {"totale-dichiarato", &DatiDocumento::totaleDichiarato},
    {"totale-calcolato", &DatiDocumento::totaleCalcolato},
    {"imponibile", &DatiDocumento::imponibile},
    {"imposta", &DatiDocumento::imposta},
    {"arrotondamento", &DatiDocumento::arrotondamento},
    {"ritenute", &DatiDocumento::ritenute},
    {"iva-scissa", &DatiDocumento::ivaScissa},
    {"netto", &DatiDocumento::netto},
    {"pagamento", &DatiDocumento::pagamento},
    {"divisa", &DatiDocumento::divisa},
};

std::string campo(const DatiDocumento& d, std::string_view nomeCampo) {
    for (const auto& [nomeNoto, membro] : kCampi)
        if (nomeCampo == nomeNoto)
            return d.*membro;
    // The answers to a question: "1" for yes, "" for no.
    bool si = false;
    if (nomeCampo == "totale-diverso")
        si = !d.totaleDichiarato.empty() && ImportiDiversi(d.totaleDichiarato, d.totaleCalcolato);
    else if (nomeCampo == "pagamento-diverso")
        si = !d.pagamento.empty() && ImportiDiversi(d.pagamento, d.netto);
    else if (nomeCampo == "credito")
        si = d.credito;
    return si ? "1" : "";
}

FunzioniConti* funzioni(xmlXPathParserContextPtr ctxt) {
    const xsltTransformContextPtr contesto = xsltXPathGetTransformContext(ctxt);
    return contesto ? static_cast<FunzioniConti*>(contesto->_private) : nullptr;
}

// The string argument on top of the stack.
std::string stringa(xmlXPathParserContextPtr ctxt) {
    xmlChar* s = xmlXPathPopString(ctxt);
    std::string testo = s ? reinterpret_cast<const char*>(s) : "";
    xmlFree(s);
    return testo;
}

void risultato(xmlXPathParserContextPtr ctxt, const std::string& testo) {
    valuePush(ctxt, xmlXPathNewString(nome(testo.c_str())));
}

void conto(xmlXPathParserContextPtr ctxt, int argomenti) {
    if (argomenti != 2) {
        xmlXPathSetArityError(ctxt);
        return;
    }
    const std::string nomeCampo = stringa(ctxt);
    if (ctxt->error != XPATH_EXPRESSION_OK)
        return;
    xmlNodeSetPtr nodi = xmlXPathPopNodeSet(ctxt);
    if (ctxt->error != XPATH_EXPRESSION_OK) {
        xmlXPathFreeNodeSet(nodi);
        return;
    }
    const std::unique_ptr<xmlNodeSet, decltype(&xmlXPathFreeNodeSet)> tenuti(nodi,
                                                                             xmlXPathFreeNodeSet);
    FunzioniConti* f = funzioni(ctxt);
    const xmlNode* corpo = nodi && nodi->nodeNr > 0 ? nodi->nodeTab[0] : nullptr;
    risultato(ctxt, f && corpo && corpo->type == XML_ELEMENT_NODE ? campo(f->dati(corpo), nomeCampo)
                                                                  : std::string());
}

void piuGiorni(xmlXPathParserContextPtr ctxt, int argomenti) {
    if (argomenti != 2) {
        xmlXPathSetArityError(ctxt);
        return;
    }
    const std::string giorni = stringa(ctxt);
    const std::string data = stringa(ctxt);
    if (ctxt->error != XPATH_EXPRESSION_OK)
        return;
    risultato(ctxt, DataPiuGiorni(data, giorni));
}

void oraItaliana(xmlXPathParserContextPtr ctxt, int argomenti) {
    if (argomenti != 1) {
        xmlXPathSetArityError(ctxt);
        return;
    }
    const std::string dataOra = stringa(ctxt);
    if (ctxt->error != XPATH_EXPRESSION_OK)
        return;
    risultato(ctxt, DataOraItaliana(dataOra));
}

void messaggioSdi(xmlXPathParserContextPtr ctxt, int argomenti) {
    if (argomenti != 1) {
        xmlXPathSetArityError(ctxt);
        return;
    }
    const std::string nomeCampo = stringa(ctxt);
    if (ctxt->error != XPATH_EXPRESSION_OK)
        return;
    FunzioniConti* f = funzioni(ctxt);
    const MessaggioSdI* m = f ? f->messaggio() : nullptr;
    std::string valore;
    if (m) {
        if (nomeCampo == "codice")
            valore = m->codice;
        else if (nomeCampo == "descrizione")
            valore = m->descrizione;
        else if (nomeCampo == "esito")
            valore = m->esito;
        else if (nomeCampo == "stato")
            valore = m->statoFattura;
    }
    risultato(ctxt, valore);
}

} // namespace

const MessaggioSdI* FunzioniConti::messaggio() {
    if (!m_messaggioLetto) {
        m_messaggioLetto = true;
        if (const auto letto = LeggiMessaggioSdI(m_documento))
            m_messaggio = std::make_unique<MessaggioSdI>(*letto);
    }
    return m_messaggio.get();
}

FunzioniConti::FunzioniConti(xsltTransformContextPtr contesto, xmlDoc* documento)
    : m_contesto(contesto), m_documento(documento) {
    m_contesto->_private = this;
    xsltRegisterExtFunction(m_contesto, nome("conto"), nome(NamespaceConti), conto);
    xsltRegisterExtFunction(m_contesto, nome("piu-giorni"), nome(NamespaceConti), piuGiorni);
    xsltRegisterExtFunction(m_contesto, nome("ora-italiana"), nome(NamespaceConti), oraItaliana);
    xsltRegisterExtFunction(m_contesto, nome("messaggio"), nome(NamespaceConti), messaggioSdi);
}

FunzioniConti::~FunzioniConti() {
    m_contesto->_private = nullptr;
}

const DatiDocumento& FunzioniConti::dati(const xmlNode* corpo) {
    auto it = m_letti.find(corpo);
    if (it == m_letti.end())
        it = m_letti.emplace(corpo, LeggiDatiDocumento(corpo)).first;
    return it->second;
}

} // namespace ondivo
