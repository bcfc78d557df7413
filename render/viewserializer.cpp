#include "viewserializer.h"

#include "ansicodec.h"
#include "errors.h"
#include "xsltptr.h"

#include <libxml/globals.h>
#include <libxslt/xsltutils.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

namespace ondivo {

namespace {

const xmlChar* asXml(const char* s) {
    return reinterpret_cast<const xmlChar*>(s);
}

struct XmlCharDeleter {
    void operator()(xmlChar* s) const { xmlFree(s); }
};
using XmlCharPtr = std::unique_ptr<xmlChar, XmlCharDeleter>;

bool sameName(const xmlChar* name, const char* expected) {
    return name && xmlStrcasecmp(name, asXml(expected)) == 0;
}

// A page that declares a character set other than the one its bytes are in shows every
// accented letter wrong; a browser honours a <meta> wherever it stands.
void declareCharsetIn(xmlNode* meta) {
    bool contentType = false;
    xmlAttr* content = nullptr;
    for (xmlAttr* a = meta->properties; a; a = a->next) {
        if (sameName(a->name, "charset")) {
            xmlNodeSetContent(reinterpret_cast<xmlNode*>(a), asXml(CodificaVista));
        } else if (sameName(a->name, "content")) {
            content = a;
        } else if (sameName(a->name, "http-equiv")) {
            XmlCharPtr value(xmlNodeGetContent(reinterpret_cast<xmlNode*>(a)));
            contentType = sameName(value.get(), "Content-Type");
        }
    }
    if (contentType && content) {
        const std::string value = std::string("text/html; charset=") + CodificaVista;
        xmlNodeSetContent(reinterpret_cast<xmlNode*>(content), asXml(value.c_str()));
    }
}

void declareCharsetEverywhere(xmlDoc* doc) {
    xmlNode* node = doc->children;
    while (node) {
        if (node->type == XML_ELEMENT_NODE) {
            if (sameName(node->name, "meta"))
                declareCharsetIn(node);
            if (node->children) {
                node = node->children;
                continue;
            }
        }
        while (node && !node->next) {
            node = node->parent;
            if (node == reinterpret_cast<xmlNode*>(doc))
                node = nullptr;
        }
        if (node)
            node = node->next;
    }
}

// The serialiser's output in blocks of fixed size: a string grown by doubling would hold up
// to three times a large page while it grows.
struct Blocchi {
    static constexpr std::size_t kBlocco = 1 << 20;
    std::vector<std::string> blocchi;
    std::size_t totale = 0;
};

int appendToBlocks(void* target, const char* buffer, int len) {
    auto& b = *static_cast<Blocchi*>(target);
    std::string_view resto(buffer, static_cast<std::size_t>(len));
    while (!resto.empty()) {
        if (b.blocchi.empty() || b.blocchi.back().size() == Blocchi::kBlocco) {
            b.blocchi.emplace_back();
            b.blocchi.back().reserve(Blocchi::kBlocco);
        }
        std::string& ultimo = b.blocchi.back();
        const std::size_t n = std::min(resto.size(), Blocchi::kBlocco - ultimo.size());
        ultimo.append(resto.substr(0, n));
        resto.remove_prefix(n);
    }
    b.totale += static_cast<std::size_t>(len);
    return len;
}

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

// The position of the next byte from 0x80 up, or the text's length.
std::size_t nextNonAscii(std::string_view s, std::size_t i) {
    while (i + 8 <= s.size()) {
        std::uint64_t w;
        std::memcpy(&w, s.data() + i, 8);
        if (w & kHighBits)
            break;
        i += 8;
    }
    while (i < s.size() && static_cast<unsigned char>(s[i]) < 0x80)
        ++i;
    return i;
}

// Writes every character the code page lacks as "&#N;", as libxml2 does when it serialises to
// a code page that lacks it; the serialiser's output is well-formed UTF-8.
void referenceOutsideCodePage(std::string& testo) {
    std::size_t i = 0;
    std::size_t fine = 0; // end of the part already known to be fine
    std::string out;
    bool riscritto = false;
    while ((i = nextNonAscii(testo, i)) < testo.size()) {
        const std::size_t inizio = i;
        const char32_t cp = DecodeUtf8(testo, i);
        if (AnsiByteFor(cp) >= 0)
            continue;
        if (!riscritto) {
            out.reserve(testo.size() + testo.size() / 8);
            riscritto = true;
        }
        out.append(testo, fine, inizio - fine);
        out += "&#" + std::to_string(static_cast<std::uint32_t>(cp)) + ';';
        fine = i;
    }
    if (riscritto) {
        out.append(testo, fine, std::string::npos);
        testo = std::move(out);
    }
}

Blocchi writeOut(xmlDoc* risultato, xsltStylesheet* style) {
    Blocchi blocchi;
    if (!risultato || !risultato->children)
        return blocchi;
    declareCharsetEverywhere(risultato);
    OutputBufferPtr buf(xmlOutputBufferCreateIO(appendToBlocks, nullptr, &blocchi, nullptr));
    if (!buf)
        throw std::bad_alloc();
    if (xsltSaveResultTo(buf.get(), risultato, style) < 0 || xmlOutputBufferFlush(buf.get()) < 0 ||
        buf->error != 0)
        throw OndivoError("Errore nella scrittura del documento HTML");
    return blocchi;
}

// One text of the blocks, each released once copied.
std::string join(Blocchi& blocchi) {
    std::string testo;
    testo.reserve(blocchi.totale);
    for (std::string& blocco : blocchi.blocchi) {
        testo += blocco;
        std::string().swap(blocco);
    }
    referenceOutsideCodePage(testo);
    return testo;
}

} // namespace

void DichiaraCodificaVista(xsltStylesheet* style) {
    xmlFree(style->encoding);
    style->encoding = xmlStrdup(asXml(CodificaVista));
}

std::string SerializzaPerVista(xmlDoc* risultato, xsltStylesheet* style) {
    Blocchi blocchi = writeOut(risultato, style);
    return join(blocchi);
}

std::string SerializzaPerVista(XmlDocPtr risultato, xsltStylesheet* style) {
    Blocchi blocchi = writeOut(risultato.get(), style);
    risultato.reset();
    return join(blocchi);
}

} // namespace ondivo
