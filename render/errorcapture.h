#pragma once

#include <libxml/xmlerror.h>
#include <libxslt/xsltInternals.h>

#include <mutex>
#include <string>

namespace ondivo {

// Collects what libxml2 and libxslt report while it lives, instead of letting it reach
// standard error, so that a failed transformation can be described with the processor's own
// words. libxslt reports stylesheet compilation errors only through its process-wide handler:
// the handlers are swapped in by the constructor and restored by the destructor, so only one
// capture is alive at a time in the process: a second one, on another thread, waits for the
// first to go. Never nest two on one thread.
class ErrorCapture {
public:
    ErrorCapture();
    ~ErrorCapture();
    ErrorCapture(const ErrorCapture&) = delete;
    ErrorCapture& operator=(const ErrorCapture&) = delete;

    // Routes the messages of a transformation (runtime errors, xsl:message) here too.
    void attach(xsltTransformContext* ctxt);

    // What was reported, without its trailing blanks, control characters and full stops.
    std::string description() const;

private:
    static void collectGeneric(void* self, const char* format, ...);
    static void collectStructured(void* self, xmlErrorPtr error);
    void append(const char* text);

    // Taken before the handlers are swapped in, released after they are restored.
    std::unique_lock<std::mutex> m_turno;
    std::string m_text;
    xmlGenericErrorFunc m_xsltGeneric;
    void* m_xsltGenericContext;
    xmlGenericErrorFunc m_xmlGeneric;
    void* m_xmlGenericContext;
    xmlStructuredErrorFunc m_xmlStructured;
    void* m_xmlStructuredContext;
};

} // namespace ondivo
