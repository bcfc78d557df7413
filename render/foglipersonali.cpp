#include "foglipersonali.h"

#include "errors.h"
#include "files.h"
#include "fileutil.h"
#include "stylesheetchoice.h"
#include "text.h"
#include "transform.h"
#include "xmldocument.h"

#include <libxml/tree.h>

#include <algorithm>
#include <new>

namespace ondivo {

namespace {

using Voci = std::map<std::string, std::string>;

const xmlChar* asXml(const char* s) {
    return reinterpret_cast<const xmlChar*>(s);
}

constexpr const char* kRadice = "fogliDiStile";
constexpr const char* kVoce = "foglio";
constexpr const char* kFormato = "formato";

bool formatoNoto(const std::string& formato) {
    for (const auto& riga : FogliStile)
        if (formato == riga.formato)
            return true;
    return false;
}

std::string formatiNoti() {
    std::string elenco;
    for (std::size_t i = 0; i < FogliStile.size(); ++i)
        elenco += std::string(i == 0                       ? ""
                              : i + 1 == FogliStile.size() ? " e "
                                                           : ", ") +
                  FogliStile[i].formato;
    return elenco;
}

[[noreturn]] void danneggiato(const std::string& file, const std::string& motivo) {
    throw OndivoError("Il file delle impostazioni «" + file + "» è danneggiato (" + motivo +
                      "): i fogli di stile scelti non si possono leggere né cambiare finché "
                      "non lo si corregge o lo si elimina");
}

// Every entry of the file, those of formats this version does not know included, so that a
// rewrite keeps them. No file gives none; one that cannot be read or understood throws.
Voci leggi(const std::string& file) {
    if (!FileEsiste(file) && !platform::ECartella(file))
        return {};
    const std::string dati = platform::LeggiFile(file);
    XmlDocPtr documento;
    try {
        documento = CaricaXmlDaMemoria(dati, file);
    } catch (const XmlLoadError& e) {
        danneggiato(file, "riga " + std::to_string(e.riga()) + ": " + e.motivo());
    }
    const xmlNode* radice = xmlDocGetRootElement(documento.get());
    if (!radice || xmlStrcmp(radice->name, asXml(kRadice)) != 0)
        danneggiato(file, std::string("manca l'elemento ") + kRadice);
    Voci voci;
    for (const xmlNode* n = radice->children; n; n = n->next) {
        if (n->type != XML_ELEMENT_NODE || xmlStrcmp(n->name, asXml(kVoce)) != 0)
            continue;
        const TestoXmlPtr formato(xmlGetProp(n, asXml(kFormato)));
        const TestoXmlPtr percorso(xmlNodeGetContent(n));
        if (formato && percorso && *percorso.get())
            voci[reinterpret_cast<const char*>(formato.get())] =
                reinterpret_cast<const char*>(percorso.get());
    }
    return voci;
}

void scrivi(const std::string& file, const Voci& voci) {
    XmlDocPtr documento(xmlNewDoc(asXml("1.0")));
    xmlNode* radice =
        documento ? xmlNewDocNode(documento.get(), nullptr, asXml(kRadice), nullptr) : nullptr;
    if (!radice)
        throw std::bad_alloc();
    xmlDocSetRootElement(documento.get(), radice); // now owned by the document
    for (const auto& [formato, percorso] : voci) {
        // xmlNewTextChild escapes the path's text; the format is one of ours.
        xmlNode* voce = xmlNewTextChild(radice, nullptr, asXml(kVoce), asXml(percorso.c_str()));
        if (!voce || !xmlSetProp(voce, asXml(kFormato), asXml(formato.c_str())))
            throw std::bad_alloc();
    }
    xmlChar* testo = nullptr;
    int dimensione = 0;
    xmlDocDumpFormatMemoryEnc(documento.get(), &testo, &dimensione, "UTF-8", 1);
    const TestoXmlPtr posseduto(testo);
    if (!testo || dimensione <= 0)
        throw std::bad_alloc();

    std::string motivo;
    const std::string cartella = CartellaDi(file);
    if (!platform::CreaCartella(cartella, motivo))
        throw OndivoError("Impossibile creare la cartella " + cartella + ": " + motivo);
    platform::ScriviFile(file, std::string_view(reinterpret_cast<const char*>(testo),
                                                static_cast<std::size_t>(dimensione)));
}

std::string fileDaCambiare() {
    const std::string file = PercorsoFogliPersonali();
    if (file.empty())
        throw OndivoError("Manca la cartella delle impostazioni dell'utente: il foglio di stile "
                          "scelto non si può ricordare");
    return file;
}

} // namespace

std::string PercorsoFogliPersonali() {
    const std::string cartella = platform::CartellaConfigurazioneUtente();
    return cartella.empty() ? std::string() : cartella + FileFogliPersonali;
}

std::map<std::string, std::string> LeggiFogliPersonali(std::string* problema) {
    const std::string file = PercorsoFogliPersonali();
    if (file.empty())
        return {};
    Voci voci;
    try {
        voci = leggi(file);
    } catch (const OndivoError& e) {
        if (problema)
            *problema = e.what();
        return {};
    }
    std::erase_if(voci, [](const auto& voce) { return !formatoNoto(voce.first); });
    return voci;
}

void ImpostaFoglioPersonale(const std::string& formato, const std::string& percorso) {
    if (!formatoNoto(formato))
        throw OndivoError("Il formato «" + formato +
                          "» non ha un foglio di stile da scegliere: si sceglie solo per " +
                          formatiNoti());
    // The file keeps the path as XML text, which holds neither control characters nor bytes
    // that are not UTF-8.
    if (!Utf8Valido(percorso) || std::any_of(percorso.begin(), percorso.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x20;
        }))
        throw OndivoError("Il percorso del foglio di stile «" + Utf8Sostituito(percorso) +
                          "» ha caratteri che non si possono ricordare: rinominare il file o "
                          "la cartella");
    const std::string assoluto = platform::PercorsoNormalizzato(percorso);
    VerificaFoglioStile(assoluto);
    const std::string file = fileDaCambiare();
    Voci voci = leggi(file);
    voci[formato] = assoluto;
    scrivi(file, voci);
}

void RimuoviFoglioPersonale(const std::string& formato) {
    const std::string file = PercorsoFogliPersonali();
    if (file.empty())
        return;
    Voci voci = leggi(file);
    if (voci.erase(formato) != 0)
        scrivi(file, voci);
}

} // namespace ondivo
