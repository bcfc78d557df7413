#pragma once

#include <libxml/xmlIO.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xsltInternals.h>

#include <memory>

namespace ondivo {

struct StylesheetDeleter {
    void operator()(xsltStylesheet* style) const { xsltFreeStylesheet(style); }
};
using StylesheetPtr = std::unique_ptr<xsltStylesheet, StylesheetDeleter>;

struct TransformContextDeleter {
    void operator()(xsltTransformContext* ctxt) const { xsltFreeTransformContext(ctxt); }
};
using TransformContextPtr = std::unique_ptr<xsltTransformContext, TransformContextDeleter>;

struct SecurityPrefsDeleter {
    void operator()(xsltSecurityPrefs* prefs) const { xsltFreeSecurityPrefs(prefs); }
};
using SecurityPrefsPtr = std::unique_ptr<xsltSecurityPrefs, SecurityPrefsDeleter>;

// Closing flushes what is still buffered.
} // namespace ondivo
