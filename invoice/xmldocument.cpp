#include "xmldocument.h"
#include "codificaansi.h"

#include "ansicodec.h"
#include "entityexpansion.h"
#include "files.h"
#include "text.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <string>
#include <unordered_map>

namespace ondivo {

namespace {

// The failure reported for a load: the first fatal error of the document itself, or, when
// every fatal error lies inside entity text, the first of those.
struct LoadFailure {
    bool found = false;
    bool inDocument = false;
    int code = 0;
    std::string reason;
    long line = 0;
    std::string lineText;
};

// What one parse keeps beside the tree: the failure to report and the guards that stand in
// for libxml2's own. Contexts made for parsing entity text share it with the file's own.
struct ParseState {
    ParseState(xmlParserCtxt* ctxt, bool huge, std::size_t expansionLimit)
        : document(ctxt), huge(huge), expansion(expansionLimit) {}

    xmlParserCtxt* document; // the context of the file itself
    bool huge;               // every size limit of libxml2 is lifted for this parse
    LoadFailure failure;
    EntityExpansion expansion;
    // A streamed reading: no tree, everything goes to the listener, entity text included, and
    // the characters it receives are counted against the same limit as expansions.
    AscoltatoreXml* ascoltatore = nullptr;
    std::size_t caratteri = 0;
    std::size_t limiteCaratteri = 0;
    const char* withheld = nullptr; // why the rest of the file was kept from the parser
    std::size_t elementi = 0;
    std::size_t limiteElementi = 0;
    // A streamed reading is inside a signature this deep (0: not inside one), and the depth
    // of the element open.
    int dentroFirma = 0;
    int profondita = 0;
    std::unordered_map<std::string, int> declaredAttributes; // per element, in the DTD
};

constexpr std::size_t kLineTextChars = 40;

constexpr const char* kNsFirmaXml = "http://www.w3.org/2000/09/xmldsig#";

bool EFirmaXml(const xmlChar* nome, const xmlChar* ns) {
    return xmlStrEqual(nome, BAD_CAST "Signature") && xmlStrEqual(ns, BAD_CAST kNsFirmaXml);
}

// XML signatures are no part of what they sign, and what they carry (objects, properties,
// certificates) is never the document's data: they are taken out of the tree, wherever they
// stand, unless the whole document is one.
void togliFirme(xmlNode* padre) {
    for (xmlNode* nodo = padre->children; nodo;) {
        xmlNode* prossimo = nodo->next;
        if (nodo->type == XML_ELEMENT_NODE) {
            if (nodo->ns && EFirmaXml(nodo->name, nodo->ns->href)) {
                xmlUnlinkNode(nodo);
                xmlFreeNode(nodo);
            } else {
                togliFirme(nodo);
            }
        }
        nodo = prossimo;
    }
}

// Entity references may stand for half the file's own size, and 1 MiB for any file. A page
// shows a value up to four times and holds its text about twice while writing it out: this
// keeps what expanded entities cost within four times the file. Invoices use no entities.
constexpr std::size_t kExpansionDivisor = 2;
constexpr std::size_t kExpansionFloor = 1 << 20;

constexpr const char* kExpansionTooLarge =
    "Le entità del documento si espandono oltre il limite consentito";

// FatturaPA elements carry a handful of attributes. libxml2 checks every attribute of a start
// tag against all those before it, and appends each to the element by walking the list built
// so far: a tag with a hundred thousand attributes would take minutes. Such files are refused.
// Namespace declarations go the same way, and every prefix is looked up through all those in
// scope: more than a few hundred in scope are refused as well.
constexpr int kMaxAttributes = 256;
constexpr const char* kTooManyAttributes = "Un elemento del documento ha più di 256 attributi";
constexpr int kMaxNamespaces = 256;
constexpr const char* kTooManyNamespaces =
    "Il documento dichiara troppi spazi dei nomi (più di 256 su un elemento)";

// A tree costs about 130 bytes per element. Real invoices spend 35 bytes or more of the file on
// each element; a file of bare tags (`<a/>` after `<a/>`) spends 4, and its tree would take
// thirty times the file. One element per 16 bytes, and 100,000 for any file, keeps the tree
// within eight times the file and is more than twice what any real invoice needs.
constexpr std::size_t kBytesPerElement = 16;
constexpr std::size_t kElementFloor = 100'000;

std::size_t limiteElementi(std::size_t dimensione) {
    return kElementFloor + dimensione / kBytesPerElement;
}

// The parser reads the file through the program's one file reader. A read error ends the
// parse; the reader's own message is kept for the caller.
//
// libxml2 gathers a start tag's attributes and namespace declarations, reading more of the
// file as it goes, before it hands the element over. Its array of attributes holds five entries
// per attribute, its stack of namespaces two per namespace in scope, and both grow by doubling:
// once one is past twice the entries of the limit, a tag has gone over it, and no more of the
// file is given, so the parse ends within a block of that tag.
// What the parser reads: a file through the program's reader, or bytes already in memory (an
// entry of an archive), under the name its messages give.
class Sorgente {
public:
    virtual ~Sorgente() = default;
    // Up to `quanti` bytes into `dove`; 0 at the end. Throws with the reader's message.
    virtual std::size_t leggi(char* dove, std::size_t quanti) = 0;
    virtual void riavvolgi() = 0;
    virtual std::size_t dimensione() const = 0;
    virtual const std::string& nome() const = 0;
};

class SorgenteFile : public Sorgente {
public:
    explicit SorgenteFile(const std::string& percorso) : m_file(percorso) {}
    std::size_t leggi(char* dove, std::size_t quanti) override {
        return m_file.Leggi(dove, quanti);
    }
    void riavvolgi() override { m_file.Riavvolgi(); }
    std::size_t dimensione() const override {
        return static_cast<std::size_t>(m_file.Dimensione());
    }
    const std::string& nome() const override { return m_file.percorso(); }

private:
    platform::TFileLettura m_file;
};

class SorgenteMemoria : public Sorgente {
public:
    SorgenteMemoria(std::string_view dati, const std::string& nome) : m_dati(dati), m_nome(nome) {}
    std::size_t leggi(char* dove, std::size_t quanti) override {
        const std::size_t n = std::min(quanti, m_dati.size() - m_letti);
        std::memcpy(dove, m_dati.data() + m_letti, n);
        m_letti += n;
        return n;
    }
    void riavvolgi() override { m_letti = 0; }
    std::size_t dimensione() const override { return m_dati.size(); }
    const std::string& nome() const override { return m_nome; }

private:
    std::string_view m_dati;
    std::string m_nome;
    std::size_t m_letti = 0;
};

struct Lettura {
    Sorgente& sorgente;
    ParseState* state;
    std::string errore;
};

int leggiSorgente(void* contesto, char* buffer, int quanti) {
    auto* lettura = static_cast<Lettura*>(contesto);
    ParseState& state = *lettura->state;
    const xmlParserCtxt* ctxt = state.document;
    if (ctxt->maxatts > 10 * (kMaxAttributes + 1)) {
        state.withheld = kTooManyAttributes;
        return 0; // an end of file: a read error would be reported on standard error
    }
    if (ctxt->nsMax > 4 * kMaxNamespaces) {
        state.withheld = kTooManyNamespaces;
        return 0;
    }
    try {
        return static_cast<int>(lettura->sorgente.leggi(buffer, static_cast<std::size_t>(quanti)));
    } catch (const std::exception& e) {
        lettura->errore = e.what();
        return -1;
    }
}

ParseState* stateOf(const xmlParserCtxt* ctxt) {
    return ctxt ? static_cast<ParseState*>(ctxt->_private) : nullptr;
}

// The start of the line holding the parser's current position.
std::string currentLineStart(const xmlParserCtxt* ctxt) {
    const xmlParserInput* in = ctxt ? ctxt->input : nullptr;
    if (!in || !in->base || !in->cur)
        return {};
    const auto* base = reinterpret_cast<const char*>(in->base);
    const auto* end = in->end ? reinterpret_cast<const char*>(in->end) : base;
    const char* p = reinterpret_cast<const char*>(in->cur);
    if (p > end)
        p = end;
    while (p > base && (p == end || *p == '\n' || *p == '\r'))
        --p;
    while (p > base && p[-1] != '\n' && p[-1] != '\r')
        --p;
    const std::string_view rest(p, static_cast<std::size_t>(end - p));
    std::size_t i = 0;
    for (std::size_t chars = 0; chars < kLineTextChars && i < rest.size(); ++chars) {
        if (rest[i] == '\n' || rest[i] == '\r' || rest[i] == '\0')
            break;
        DecodeUtf8(rest, i);
    }
    return std::string(rest.substr(0, i));
}

void recordError(void* /*userData*/, xmlErrorPtr err) {
    if (!err || err->level != XML_ERR_FATAL)
        return;
    auto* ctxt = static_cast<xmlParserCtxt*>(err->ctxt);
    ParseState* state = stateOf(ctxt);
    if (!state)
        return;
    LoadFailure* failure = &state->failure;
    const bool inDocument = err->file != nullptr;
    if (failure->found && (failure->inDocument || !inDocument))
        return;
    failure->found = true;
    failure->inDocument = inDocument;
    failure->code = err->code;
    failure->reason = std::string(Trim(err->message ? err->message : ""));
    failure->line = err->line;
    failure->lineText = currentLineStart(ctxt);
}

// libxml2 refuses a text node over 10 MB unless XML_PARSE_HUGE is set, and that flag would
// also switch off its guards against entity-expansion bombs and deep nesting. So it is
// raised only while text is being stored.
template <void (*Store)(void*, const xmlChar*, int)>
void storeWithoutSizeLimit(void* userData, const xmlChar* text, int len) {
    auto* ctxt = static_cast<xmlParserCtxt*>(userData);
    const int options = ctxt->options;
    ctxt->options |= XML_PARSE_HUGE;
    Store(userData, text, len);
    ctxt->options = options;
}

// Ends the parse as a fatal error of the document would, with our own reason.
void refuse(xmlParserCtxt* ctxt, ParseState& state, const std::string& reason) {
    LoadFailure& failure = state.failure;
    if (!failure.found || !failure.inDocument) {
        failure.found = true;
        failure.inDocument = true;
        failure.code = XML_ERR_USER_STOP;
        failure.reason = reason;
        failure.line = ctxt->input ? ctxt->input->line : 0;
        failure.lineText = currentLineStart(ctxt);
    }
    xmlStopParser(ctxt);
    if (ctxt != state.document)
        xmlStopParser(state.document);
}

// References in the text of the file itself are tallied; those inside entity text are part
// of the entity's own expansion, already counted with the reference to it.
void countReference(void* userData, const xmlChar* name) {
    auto* ctxt = static_cast<xmlParserCtxt*>(userData);
    ParseState* state = stateOf(ctxt);
    if (state && ctxt == state->document && !state->expansion.addReference(ctxt->myDoc, name)) {
        refuse(ctxt, *state, kExpansionTooLarge);
        return;
    }
    xmlSAX2Reference(userData, name);
}

// The limits every start tag is held to, with or without a tree: attributes and namespaces in
// scope (libxml2 handles both quadratically), the number of elements for the file's size, and,
// with its own limits lifted, the nesting.
// False, with the parse stopped, when the tag goes over one.
bool startTagAllowed(xmlParserCtxt* ctxt, ParseState& state, int nbAttributes) {
    if (nbAttributes > kMaxAttributes) {
        refuse(ctxt, state, kTooManyAttributes);
        return false;
    }
    if (ctxt->nsNr / 2 > kMaxNamespaces) { // the stack holds a prefix and a name each
        refuse(ctxt, state, kTooManyNamespaces);
        return false;
    }
    if (++state.elementi > state.limiteElementi) {
        refuse(ctxt, state,
               "Il documento ha troppi elementi per la sua dimensione (più di " +
                   std::to_string(state.limiteElementi) + " elementi)");
        return false;
    }
    if (state.huge && ctxt->nameNr > static_cast<int>(xmlParserMaxDepth)) {
        refuse(ctxt, state,
               "Excessive depth in document: " + std::to_string(xmlParserMaxDepth) +
                   " use XML_PARSE_HUGE option");
        return false;
    }
    return true;
}

// Attribute values keep their entity references as written; they are tallied too. With the
// limits lifted, libxml2 no longer bounds the nesting depth, so that is done here.
void startElement(void* userData, const xmlChar* localname, const xmlChar* prefix,
                  const xmlChar* uri, int nbNamespaces, const xmlChar** namespaces,
                  int nbAttributes, int nbDefaulted, const xmlChar** attributes) {
    auto* ctxt = static_cast<xmlParserCtxt*>(userData);
    if (ParseState* state = stateOf(ctxt)) {
        if (!startTagAllowed(ctxt, *state, nbAttributes))
            return;
        for (int i = 0; ctxt == state->document && i < nbAttributes; ++i) {
            const auto* value = reinterpret_cast<const char*>(attributes[5 * i + 3]);
            const auto* end = reinterpret_cast<const char*>(attributes[5 * i + 4]);
            if (!state->expansion.addReferencesIn(ctxt->myDoc,
                                                  {value, static_cast<std::size_t>(end - value)})) {
                refuse(ctxt, *state, kExpansionTooLarge);
                return;
            }
        }
    }
    xmlSAX2StartElementNs(userData, localname, prefix, uri, nbNamespaces, namespaces, nbAttributes,
                          nbDefaulted, attributes);
}

// With the limits lifted, libxml2 expands nested entities without bound while it checks
// them (an attribute referring to an entity bomb is expanded in full), so entities that
// refer to other entities are refused then. Entity text is parsed from memory, out of reach
// of the reading that keeps a start tag's attributes bounded: its tags are counted here.
void declareEntity(void* userData, const xmlChar* name, int type, const xmlChar* publicId,
                   const xmlChar* systemId, xmlChar* content) {
    auto* ctxt = static_cast<xmlParserCtxt*>(userData);
    ParseState* state = stateOf(ctxt);
    if (state && type == XML_INTERNAL_GENERAL_ENTITY && content) {
        const auto* text = reinterpret_cast<const char*>(content);
        if (state->huge && RefersToEntities(text)) {
            refuse(ctxt, *state, kExpansionTooLarge);
            return;
        }
        if (MostAttributesInATag(text) > static_cast<std::size_t>(kMaxAttributes)) {
            refuse(ctxt, *state, kTooManyAttributes);
            return;
        }
    }
    xmlSAX2EntityDecl(userData, name, type, publicId, systemId, content);
}

// The streamed reading's callbacks. Contexts that libxml2 makes for entity text share the
// state, so their elements and text reach the listener at the reference's place.
void streamStart(void* userData, const xmlChar* localname, const xmlChar*, const xmlChar* uri, int,
                 const xmlChar**, int nbAttributes, int, const xmlChar**) {
    auto* ctxt = static_cast<xmlParserCtxt*>(userData);
    ParseState* state = stateOf(ctxt);
    if (!state || state->failure.found)
        return;
    if (!startTagAllowed(ctxt, *state, nbAttributes))
        return;
    ++state->profondita;
    if (state->dentroFirma == 0 && state->profondita > 1 && EFirmaXml(localname, uri))
        state->dentroFirma = state->profondita;
    if (state->dentroFirma == 0)
        state->ascoltatore->InizioElemento(reinterpret_cast<const char*>(localname));
}

void streamEnd(void* userData, const xmlChar*, const xmlChar*, const xmlChar*) {
    auto* ctxt = static_cast<xmlParserCtxt*>(userData);
    ParseState* state = stateOf(ctxt);
    if (!state || state->failure.found)
        return;
    if (state->dentroFirma == 0)
        state->ascoltatore->FineElemento();
    else if (state->dentroFirma == state->profondita)
        state->dentroFirma = 0;
    --state->profondita;
}

void streamText(void* userData, const xmlChar* text, int len) {
    auto* ctxt = static_cast<xmlParserCtxt*>(userData);
    ParseState* state = stateOf(ctxt);
    if (!state || state->failure.found || len <= 0)
        return;
    state->caratteri += static_cast<std::size_t>(len);
    if (state->dentroFirma != 0)
        return;
    if (state->caratteri > state->limiteCaratteri) {
        refuse(ctxt, *state, kExpansionTooLarge);
        return;
    }
    state->ascoltatore->Testo({reinterpret_cast<const char*>(text), static_cast<std::size_t>(len)});
}

// With every limit lifted, libxml2 would expand references in attribute values without bound,
// where the count of characters does not see them: a streamed file that needs the lifted
// limits (a CDATA section over 10 MB) may declare no entities at all.
void declareEntityStreamed(void* userData, const xmlChar* name, int type, const xmlChar* publicId,
                           const xmlChar* systemId, xmlChar* content) {
    auto* ctxt = static_cast<xmlParserCtxt*>(userData);
    ParseState* state = stateOf(ctxt);
    if (state && state->huge && type == XML_INTERNAL_GENERAL_ENTITY) {
        refuse(ctxt, *state, kExpansionTooLarge);
        return;
    }
    xmlSAX2EntityDecl(userData, name, type, publicId, systemId, content);
}

// An element declared with more attributes than a start tag may carry is refused at once:
// those with a default value are added to each of its start tags, and checked against the
// tag's others as written ones are.
void declareAttribute(void* userData, const xmlChar* element, const xmlChar* fullname, int type,
                      int def, const xmlChar* defaultValue, xmlEnumeration* tree) {
    auto* ctxt = static_cast<xmlParserCtxt*>(userData);
    ParseState* state = stateOf(ctxt);
    if (state && element &&
        ++state->declaredAttributes[reinterpret_cast<const char*>(element)] > kMaxAttributes) {
        xmlFreeEnumeration(tree); // ours when the declaration is not passed on
        refuse(ctxt, *state, kTooManyAttributes);
        return;
    }
    xmlSAX2AttributeDecl(userData, element, fullname, type, def, defaultValue, tree);
}

xmlParserInputPtr refuseExternalEntity(void*, const xmlChar*, const xmlChar*) {
    return nullptr;
}

void ignoreExternalSubset(void*, const xmlChar*, const xmlChar*, const xmlChar*) {}

// One parse of an open source. `huge` lifts every size limit of libxml2 for the whole parse;
// our own guards then stand in for the ones that keep hostile files bounded.
// With a listener, the parse builds no tree (the result is then only the document's shell,
// with its declarations) and entity references are replaced by their text.
XmlDocPtr parse(Sorgente& file, bool huge, std::size_t expansionLimit, LoadFailure& failure,
                AscoltatoreXml* ascoltatore = nullptr) {
    // The file's own text, which grows up to threefold when a single-byte encoding becomes
    // UTF-8, and the expansions allowed: what a streamed reading may hear in all.
    const std::size_t limiteCaratteri = 3 * file.dimensione() + expansionLimit;
    RegistraCodificaAnsi();
    ParserCtxtPtr ctxt(xmlNewParserCtxt());
    if (!ctxt)
        throw XmlLoadError("Memoria insufficiente", 0, {});
    ParseState state(ctxt.get(), huge, expansionLimit);
    state.limiteElementi = limiteElementi(file.dimensione());
    ctxt->_private = &state;
    xmlSAXHandler* sax = ctxt->sax; // owned by the context
    sax->serror = recordError;
    sax->resolveEntity = refuseExternalEntity;
    sax->externalSubset = ignoreExternalSubset;
    sax->attributeDecl = declareAttribute;
    if (ascoltatore) {
        state.ascoltatore = ascoltatore;
        state.limiteCaratteri = limiteCaratteri;
        sax->startElementNs = streamStart;
        sax->endElementNs = streamEnd;
        sax->characters = streamText;
        sax->ignorableWhitespace = streamText;
        sax->cdataBlock = streamText;
        sax->entityDecl = declareEntityStreamed;
        sax->reference = nullptr;
        sax->comment = nullptr;
        sax->processingInstruction = nullptr;
    } else {
        sax->reference = countReference;
        sax->startElementNs = startElement;
        sax->entityDecl = declareEntity;
        if (!huge) {
            sax->characters = storeWithoutSizeLimit<xmlSAX2Characters>;
            sax->ignorableWhitespace = storeWithoutSizeLimit<xmlSAX2Characters>;
            sax->cdataBlock = storeWithoutSizeLimit<xmlSAX2CDataBlock>;
        }
    }

    // COMPACT keeps short texts (most values and the indentation between elements) inside their
    // nodes instead of in allocations of their own: a large invoice loads about 40% faster.
    // Nothing edits a loaded invoice's text nodes.
    // NOBLANKS drops the indentation between elements, which neither the queries nor the
    // stylesheets read: a node of 120 bytes for each, as many as the elements in an indented file.
    const int options = XML_PARSE_NONET | XML_PARSE_BIG_LINES | XML_PARSE_NOWARNING |
                        XML_PARSE_COMPACT | XML_PARSE_NOBLANKS | (huge ? XML_PARSE_HUGE : 0) |
                        (ascoltatore ? XML_PARSE_NOENT : 0);
    Lettura lettura{file, &state, {}};
    XmlDocPtr doc(xmlCtxtReadIO(ctxt.get(), leggiSorgente, nullptr, &lettura, file.nome().c_str(),
                                nullptr, options));
    if (state.withheld) {
        // The parser has met the end of what it was given: its own error names the line.
        state.failure.found = true;
        state.failure.inDocument = true;
        state.failure.code = XML_ERR_USER_STOP;
        state.failure.reason = state.withheld;
    }
    if (doc && (!ctxt->wellFormed || state.failure.found || !lettura.errore.empty()))
        doc.reset();
    failure = std::move(state.failure);
    if (!lettura.errore.empty())
        throw XmlLoadError(lettura.errore, 0, {});
    return doc;
}

} // namespace

namespace {

// Both readings: one parse, and a second with every limit lifted when the first stopped at a
// CDATA section over 10 MB.
XmlDocPtr carica(Sorgente& file, AscoltatoreXml* ascoltatore) {
    const std::size_t size = file.dimensione();
    const std::size_t expansionLimit = kExpansionFloor + size / kExpansionDivisor;
    LoadFailure failure;
    XmlDocPtr doc = parse(file, false, expansionLimit, failure, ascoltatore);
    // The parser itself refuses a CDATA section over 10 MB unless every limit is lifted. Entity
    // references are never expanded here, so lifting the limits for such a file is safe.
    if (!doc && failure.code == XML_ERR_CDATA_NOT_FINISHED) {
        file.riavvolgi();
        failure = LoadFailure();
        if (ascoltatore)
            ascoltatore->Ricomincia();
        doc = parse(file, true, expansionLimit, failure, ascoltatore);
    }
    if (!doc) {
        if (!failure.found)
            failure.reason = "Documento XML non valido";
        throw XmlLoadError(failure.reason, failure.line, failure.lineText);
    }
    if (!ascoltatore)
        if (xmlNode* radice = xmlDocGetRootElement(doc.get()))
            togliFirme(radice);
    return doc;
}

// The file opened through the program's reader; its refusal is a load error.
XmlDocPtr caricaFile(const std::string& percorso, AscoltatoreXml* ascoltatore) {
    std::unique_ptr<SorgenteFile> file;
    try {
        file = std::make_unique<SorgenteFile>(percorso);
    } catch (const platform::EFileStreamError& e) {
        throw XmlLoadError(e.what(), 0, {});
    }
    return carica(*file, ascoltatore);
}

} // namespace

XmlDocPtr CaricaXml(const std::string& percorso) {
    return caricaFile(percorso, nullptr);
}

XmlDocPtr CaricaXmlDaMemoria(std::string_view dati, const std::string& nome) {
    SorgenteMemoria sorgente(dati, nome);
    return carica(sorgente, nullptr);
}

void LeggiXmlInSequenza(const std::string& percorso, AscoltatoreXml& ascoltatore) {
    caricaFile(percorso, &ascoltatore);
}

std::string MessaggioCaricamento(const std::string& percorso, const XmlLoadError& errore) {
    if (errore.riga() <= 0 && errore.motivo().find(percorso) != std::string::npos)
        return errore.motivo();
    return "Errore nel caricamento XML: " + percorso + " (riga " + std::to_string(errore.riga()) +
           ": " + errore.motivo() + ")";
}

} // namespace ondivo
