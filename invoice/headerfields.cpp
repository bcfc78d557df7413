#include "headerfields.h"

#include "elementpath.h"
#include "lctv.h"
#include "text.h"
#include "xmldocument.h"

namespace ondivo {

namespace {

const xmlNode* figlio(const xmlNode* elemento, std::string_view nome) {
    for (const xmlNode* f = elemento->children; f; f = f->next)
        if (f->type == XML_ELEMENT_NODE && NomeCorrisponde(f, std::string(nome)))
            return f;
    return nullptr;
}

// Denominazione, else Nome and Cognome (either may be missing), of one element.
std::string nomeDi(const xmlNode* elemento) {
    if (const xmlNode* d = figlio(elemento, "Denominazione"))
        return TestoElemento(d);
    std::string nome;
    for (const char* parte : {"Nome", "Cognome"}) {
        if (const xmlNode* n = figlio(elemento, parte)) {
            const std::string testo = TestoElemento(n);
            if (!testo.empty())
                nome += (nome.empty() ? "" : " ") + testo;
        }
    }
    return nome;
}

} // namespace

std::optional<std::string> NomeFornitoreAlternativo(const std::string& file) {
    XmlDocPtr doc;
    try {
        doc = CaricaXml(file);
    } catch (const XmlLoadError&) {
        return std::nullopt; // the Denominazione query has already told the user
    }
    return NomeFornitoreAlternativo(doc.get());
}

std::optional<std::string> NomeFornitoreAlternativo(xmlDoc* doc) {
    Corrispondenze cedenti;
    VisitaNodi(xmlDocGetRootElement(doc), DividiPercorso("CedentePrestatore"), cedenti);
    std::vector<std::string> nomi;
    for (const xmlNode* cedente : cedenti) {
        const xmlNode* anagrafica = nullptr;
        if (const xmlNode* dati = figlio(cedente, "DatiAnagrafici"))
            anagrafica = figlio(dati, "Anagrafica");
        std::string nome = nomeDi(anagrafica ? anagrafica : cedente);
        if (!nome.empty())
            nomi.push_back(std::move(nome));
    }
    if (nomi.empty())
        return std::nullopt;
    return UnisciValori(nomi);
}

std::optional<std::string> LeggiCampoIntestazione(const std::string& file,
                                                  const CampoIntestazione& campo,
                                                  std::vector<std::string>& lista,
                                                  MessageSink& avvisi) {
    lista.clear();
    const XmlDocPtr doc = CaricaPerQuery(file, avvisi);
    return doc ? LeggiCampoIntestazione(doc.get(), campo, lista) : std::nullopt;
}

std::optional<std::string> LeggiCampoIntestazione(xmlDoc* doc, const CampoIntestazione& campo,
                                                  std::vector<std::string>& lista) {
    if (!LeggiValoriDoc(doc, campo.percorso, lista))
        return campo.resa == Resa::Fornitore ? NomeFornitoreAlternativo(doc) : std::nullopt;
    const std::string valore = UnisciValori(lista);
    return campo.resa == Resa::DescrizioneTipo ? DescrTipoDoc(valore) : valore;
}

} // namespace ondivo
