#include "xmldocument.h"

#include "ansicodec.h"
#include "text.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace ondivo {

namespace {

struct ParserCtxtDeleter {
    void operator()(xmlParserCtxt* ctxt) const { xmlFreeParserCtxt(ctxt); }
};
using ParserCtxtPtr = std::unique_ptr<xmlParserCtxt, ParserCtxtDeleter>;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

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

constexpr std::size_t kLineTextChars = 40;

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
    auto* failure = ctxt ? static_cast<LoadFailure*>(ctxt->_private) : nullptr;
    if (!failure)
        return;
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

xmlParserInputPtr refuseExternalEntity(void*, const xmlChar*, const xmlChar*) {
    return nullptr;
}

void ignoreExternalSubset(void*, const xmlChar*, const xmlChar*, const xmlChar*) {}

// One parse of an open file. `huge` lifts every size limit of libxml2 for the whole parse.
XmlDocPtr parse(int fd, const std::string& percorso, bool huge, LoadFailure& failure) {
    ParserCtxtPtr ctxt(xmlNewParserCtxt());
    if (!ctxt)
        throw XmlLoadError("Memoria insufficiente", 0, {});
    ctxt->_private = &failure;
    xmlSAXHandler* sax = ctxt->sax; // owned by the context
    sax->serror = recordError;
    if (!huge) {
        sax->characters = storeWithoutSizeLimit<xmlSAX2Characters>;
        sax->ignorableWhitespace = storeWithoutSizeLimit<xmlSAX2Characters>;
        sax->cdataBlock = storeWithoutSizeLimit<xmlSAX2CDataBlock>;
    }
    sax->resolveEntity = refuseExternalEntity;
    sax->externalSubset = ignoreExternalSubset;

    // COMPACT keeps short texts (most values and the indentation between elements) inside their
    // nodes instead of in allocations of their own: a large invoice loads about 40% faster.
    // Nothing edits a loaded invoice's text nodes; removing them (xsl:strip-space) is safe.
    const int options = XML_PARSE_NONET | XML_PARSE_BIG_LINES | XML_PARSE_NOWARNING |
                        XML_PARSE_COMPACT | (huge ? XML_PARSE_HUGE : 0);
    // xmlCtxtReadFd does not close the descriptor.
    XmlDocPtr doc(xmlCtxtReadFd(ctxt.get(), fd, percorso.c_str(), nullptr, options));
    if (doc && !ctxt->wellFormed)
        doc.reset();
    return doc;
}

} // namespace

XmlDocPtr CaricaXml(const std::string& percorso) {
    FileDescriptor fd(::open(percorso.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        throw XmlLoadError(std::strerror(errno), 0, {});
    LoadFailure failure;
    XmlDocPtr doc = parse(fd.get(), percorso, false, failure);
    // The parser itself refuses a CDATA section over 10 MB unless every limit is lifted. Entity
    // references are never expanded here, so lifting the limits for such a file is safe.
    if (!doc && failure.code == XML_ERR_CDATA_NOT_FINISHED && ::lseek(fd.get(), 0, SEEK_SET) == 0) {
        failure = LoadFailure();
        doc = parse(fd.get(), percorso, true, failure);
    }
    if (!doc) {
        if (!failure.found)
            failure.reason = "Documento XML non valido";
        throw XmlLoadError(failure.reason, failure.line, failure.lineText);
    }
    return doc;
}

} // namespace ondivo
