#include "errorcapture.h"

#include <libxml/globals.h>
#include <libxslt/xsltutils.h>

#include <cstdarg>
#include <cstdio>
#include <string_view>

namespace ondivo {

namespace {

// A stylesheet full of errors would otherwise fill the error box without end.
constexpr std::size_t kMaxChars = 4000;

std::mutex& turnoCatture() {
    static std::mutex turno;
    return turno;
}

} // namespace

ErrorCapture::ErrorCapture()
    : m_turno(turnoCatture()), m_xsltGeneric(xsltGenericError),
      m_xsltGenericContext(xsltGenericErrorContext), m_xmlGeneric(xmlGenericError),
      m_xmlGenericContext(xmlGenericErrorContext), m_xmlStructured(xmlStructuredError),
      m_xmlStructuredContext(xmlStructuredErrorContext) {
    xsltSetGenericErrorFunc(this, collectGeneric);
    xmlSetGenericErrorFunc(this, collectGeneric);
    xmlSetStructuredErrorFunc(this, collectStructured);
}

ErrorCapture::~ErrorCapture() {
    xmlSetStructuredErrorFunc(m_xmlStructuredContext, m_xmlStructured);
    xmlSetGenericErrorFunc(m_xmlGenericContext, m_xmlGeneric);
    xsltSetGenericErrorFunc(m_xsltGenericContext, m_xsltGeneric);
}

void ErrorCapture::attach(xsltTransformContext* ctxt) {
    xsltSetTransformErrorFunc(ctxt, this, collectGeneric);
}

std::string ErrorCapture::description() const {
    std::size_t end = m_text.size();
    while (end > 0 &&
           (static_cast<unsigned char>(m_text[end - 1]) <= ' ' || m_text[end - 1] == '.'))
        --end;
    return m_text.substr(0, end);
}

void ErrorCapture::collectGeneric(void* self, const char* format, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    static_cast<ErrorCapture*>(self)->append(buffer);
}

void ErrorCapture::collectStructured(void* self, xmlErrorPtr error) {
    // Warnings (a relative namespace URI, for one) do not describe a failure.
    if (error && error->level != XML_ERR_WARNING && error->message)
        static_cast<ErrorCapture*>(self)->append(error->message);
}

void ErrorCapture::append(const char* text) {
    if (m_text.size() < kMaxChars)
        m_text.append(std::string_view(text).substr(0, kMaxChars - m_text.size()));
}

} // namespace ondivo
