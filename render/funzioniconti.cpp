#include "funzioniconti.h"

#include "calendario.h"
#include "messaggiosdi.h"

#include <libxml/xpathInternals.h>
#include <libxslt/extensions.h>

#include <initializer_list>
#include <iterator>
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
        si = NotaDiCredito(d);
    return si ? "1" : "";
}

FunzioniConti* funzioni(xmlXPathParserContextPtr ctxt) {
    const xsltTransformContextPtr contesto = xsltXPathGetTransformContext(ctxt);
    return contesto ? static_cast<FunzioniConti*>(contesto->_private) : nullptr;
}

// False, with the error XPath reports, when a function is called with another number of
// arguments.
bool arita(xmlXPathParserContextPtr ctxt, int argomenti, int attesi) {
    if (argomenti == attesi)
        return true;
    xmlXPathSetArityError(ctxt);
    return false;
}

// The string argument on top of the stack.
std::string stringa(xmlXPathParserContextPtr ctxt) {
    xmlChar* s = xmlXPathPopString(ctxt);
    std::string testo = s ? reinterpret_cast<const char*>(s) : "";
    xmlFree(s);
    return testo;
}

// The arguments of a function that takes only strings, in the order written; false when the
// call is not one.
bool stringhe(xmlXPathParserContextPtr ctxt, int argomenti,
              std::initializer_list<std::string*> valori) {
    if (!arita(ctxt, argomenti, static_cast<int>(valori.size())))
        return false;
    for (auto it = std::rbegin(valori); it != std::rend(valori); ++it)
        **it = stringa(ctxt);
    return ctxt->error == XPATH_EXPRESSION_OK;
}

void risultato(xmlXPathParserContextPtr ctxt, const std::string& testo) {
    valuePush(ctxt, xmlXPathNewString(nome(testo.c_str())));
}

void conto(xmlXPathParserContextPtr ctxt, int argomenti) {
    if (!arita(ctxt, argomenti, 2))
        return;
    const std::string nomeCampo = stringa(ctxt);
    if (ctxt->error != XPATH_EXPRESSION_OK)
        return;
    const std::unique_ptr<xmlNodeSet, decltype(&xmlXPathFreeNodeSet)> nodi(xmlXPathPopNodeSet(ctxt),
                                                                           xmlXPathFreeNodeSet);
    if (ctxt->error != XPATH_EXPRESSION_OK)
        return;
    FunzioniConti* f = funzioni(ctxt);
    const xmlNode* corpo = nodi && nodi->nodeNr > 0 ? nodi->nodeTab[0] : nullptr;
    risultato(ctxt, f && corpo && corpo->type == XML_ELEMENT_NODE ? campo(f->dati(corpo), nomeCampo)
                                                                  : std::string());
}

void piuGiorni(xmlXPathParserContextPtr ctxt, int argomenti) {
    std::string data, giorni;
    if (stringhe(ctxt, argomenti, {&data, &giorni}))
        risultato(ctxt, DataPiuGiorni(data, giorni));
}

void oraItaliana(xmlXPathParserContextPtr ctxt, int argomenti) {
    std::string dataOra;
    if (stringhe(ctxt, argomenti, {&dataOra}))
        risultato(ctxt, DataOraItaliana(dataOra));
}

void messaggioSdi(xmlXPathParserContextPtr ctxt, int argomenti) {
    std::string nomeCampo;
    if (!stringhe(ctxt, argomenti, {&nomeCampo}))
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
