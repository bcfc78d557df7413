#include "elementpath.h"

#include "ansicodec.h"
#include "errors.h"
#include "fileutil.h"
#include "text.h"
#include "xmldocument.h"

namespace ondivo {

namespace {

char upperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool stessoNome(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (upperAscii(a[i]) != upperAscii(b[i]))
            return false;
    return true;
}

bool isAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

} // namespace

bool NomeCorrisponde(const xmlNode* elemento, const std::string& componente) {
    const std::string_view nome = reinterpret_cast<const char*>(elemento->name);
    const std::string_view prefisso = (elemento->ns && elemento->ns->prefix)
                                          ? reinterpret_cast<const char*>(elemento->ns->prefix)
                                          : std::string_view();
    // Plain ASCII names need no conversion. A declared prefix never holds a colon, so
    // dropping "prefix:" leaves the local name; an undeclared one stays in the stored name.
    if (isAscii(nome) && isAscii(prefisso))
        return stessoNome(prefisso.empty() ? SenzaPrefisso(nome) : nome, componente);
    std::string qualificato(prefisso);
    if (!prefisso.empty())
        qualificato += ':';
    qualificato += nome;
    const std::string ansi = Utf8ToAnsi(qualificato);
    return stessoNome(SenzaPrefisso(ansi), componente);
}

namespace {

bool isBlankText(const xmlNode* nodo) {
    if (nodo->type != XML_TEXT_NODE || !nodo->content)
        return false;
    for (const xmlChar* p = nodo->content; *p; ++p)
        if (*p != ' ' && *p != '\t' && *p != '\n' && *p != '\r')
            return false;
    return true;
}

} // namespace

std::string_view SenzaPrefisso(std::string_view nome) {
    const auto duePunti = nome.find(':');
    return duePunti == std::string_view::npos ? nome : nome.substr(duePunti + 1);
}

Componenti DividiPercorso(std::string_view percorso) {
    Componenti componenti;
    std::size_t inizio = 0;
    while (inizio <= percorso.size()) {
        auto fine = percorso.find('.', inizio);
        if (fine == std::string_view::npos)
            fine = percorso.size();
        if (fine > inizio)
            componenti.emplace_back(SenzaPrefisso(percorso.substr(inizio, fine - inizio)));
        inizio = fine + 1;
    }
    return componenti;
}

bool CercaPercorso(xmlNode* elemento, const Componenti& componenti, std::size_t livello,
                   Corrispondenze& trovati) {
    if (!elemento || livello >= componenti.size())
        return false;
    if (!NomeCorrisponde(elemento, componenti[livello]))
        return false;
    if (livello + 1 == componenti.size()) {
        trovati.push_back(elemento);
        return true;
    }
    bool trovato = false;
    for (xmlNode* figlio = elemento->children; figlio; figlio = figlio->next)
        if (figlio->type == XML_ELEMENT_NODE &&
            CercaPercorso(figlio, componenti, livello + 1, trovati))
            trovato = true;
    return trovato;
}

void VisitaNodi(xmlNode* elemento, const Componenti& componenti, Corrispondenze& trovati) {
    if (!elemento)
        return;
    CercaPercorso(elemento, componenti, 0, trovati);
    for (xmlNode* figlio = elemento->children; figlio; figlio = figlio->next)
        if (figlio->type == XML_ELEMENT_NODE)
            VisitaNodi(figlio, componenti, trovati);
}

std::string TestoElemento(const xmlNode* elemento) {
    const xmlNode* unico = nullptr;
    for (const xmlNode* figlio = elemento->children; figlio; figlio = figlio->next) {
        if (isBlankText(figlio))
            continue;
        if (unico)
            throw EXMLDocError();
        unico = figlio;
    }
    if (!unico)
        return {};
    if (unico->type != XML_TEXT_NODE && unico->type != XML_CDATA_SECTION_NODE)
        throw EXMLDocError();
    const std::string_view testo =
        unico->content ? reinterpret_cast<const char*>(unico->content) : "";
    return Utf8ToAnsi(Trim(testo));
}

std::string MessaggioXmlConErrori(const std::string& motivo, long riga,
                                  const std::string& testoRiga) {
    return "ATTENZIONE, XML CON ERRORI (002)! \r\n\r\n" + motivo +
           "\r\nLine: " + std::to_string(riga) + "\r\n" + testoRiga;
}

XmlDocPtr CaricaPerQuery(const std::string& file, MessageSink& avvisi,
                         const std::string* contenuto) {
    if (!contenuto && !FileEsiste(file))
        return nullptr;
    try {
        return contenuto ? CaricaXmlDaMemoria(*contenuto, file) : CaricaXml(file);
    } catch (const XmlLoadError& e) {
        avvisi.ShowMessage(MessaggioXmlConErrori(e.motivo(), e.riga(), e.testoRiga()));
        return nullptr;
    }
}

bool LeggiValoriDoc(xmlDoc* doc, const std::string& percorso, std::vector<std::string>& risultato) {
    risultato.clear();
    const Componenti componenti = DividiPercorso(percorso);
    Corrispondenze trovati;
    VisitaNodi(xmlDocGetRootElement(doc), componenti, trovati);
    for (const xmlNode* elemento : trovati)
        risultato.push_back(TestoElemento(elemento));
    return !risultato.empty();
}

bool LeggiValoriXml(const std::string& file, const std::string& percorso,
                    std::vector<std::string>& risultato, MessageSink& avvisi) {
    risultato.clear();
    const XmlDocPtr doc = CaricaPerQuery(file, avvisi);
    return doc && LeggiValoriDoc(doc.get(), percorso, risultato);
}

} // namespace ondivo
