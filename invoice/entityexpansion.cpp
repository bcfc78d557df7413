#include "entityexpansion.h"

#include <libxml/entities.h>

#include <algorithm>
#include <iterator>
#include <limits>
#include <string>
#include <utility>

namespace ondivo {

namespace {

constexpr std::size_t kUnbounded = std::numeric_limits<std::size_t>::max();
// libxml2 stops following nested entities at this depth as well.
constexpr int kMaxNesting = 40;

std::size_t sum(std::size_t a, std::size_t b) {
    return a > kUnbounded - b ? kUnbounded : a + b;
}

// Calls f with the name of every "&name;" in the text; "&#...;" is a character reference.
template <class F> void forEachReference(std::string_view text, F f) {
    std::size_t at = 0;
    while ((at = text.find('&', at)) != std::string_view::npos) {
        const auto end = text.find(';', at + 1);
        if (end == std::string_view::npos)
            return;
        if (end > at + 1 && text[at + 1] != '#')
            f(std::string(text.substr(at + 1, end - at - 1)));
        at = end + 1;
    }
}

} // namespace

bool RefersToEntities(std::string_view text) {
    bool refers = false;
    forEachReference(text, [&](const std::string&) { refers = true; });
    return refers;
}

std::size_t MostAttributesInATag(std::string_view text) {
    // Markup whose text may hold anything, passed over whole.
    static constexpr std::pair<std::string_view, std::string_view> kOpaque[] = {
        {"<!--", "-->"}, {"<![CDATA[", "]]>"}, {"<?", "?>"}};
    std::size_t most = 0;
    std::size_t at = 0;
    while ((at = text.find('<', at)) != std::string_view::npos) {
        const std::string_view rest = text.substr(at);
        const auto* opaque = std::find_if(std::begin(kOpaque), std::end(kOpaque),
                                          [&](const auto& o) { return rest.starts_with(o.first); });
        if (opaque != std::end(kOpaque)) {
            const auto end = text.find(opaque->second, at + opaque->first.size());
            at = end == std::string_view::npos ? text.size() : end + opaque->second.size();
            continue;
        }
        // A tag: one attribute per "=" outside quoted values.
        std::size_t attributes = 0;
        char quote = 0;
        for (++at; at < text.size(); ++at) {
            const char c = text[at];
            if (quote) {
                if (c == quote)
                    quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '=') {
                ++attributes;
            } else if (c == '>') {
                break;
            }
        }
        most = std::max(most, attributes);
    }
    return most;
}

std::size_t EntityExpansion::expandedSize(xmlDoc* doc, xmlEntity* entity, int depth) {
    // Undeclared and external entities expand to nothing: external ones are never loaded.
    if (!entity || !entity->content)
        return 0;
    if (entity->etype == XML_INTERNAL_PREDEFINED_ENTITY)
        return 1;
    if (depth > kMaxNesting)
        return kUnbounded;
    // Marked unbounded while its own text is measured, so a loop back to it is refused.
    const auto [known, added] = m_sizes.try_emplace(entity, kUnbounded);
    if (!added)
        return known->second;
    const std::string_view text(reinterpret_cast<const char*>(entity->content),
                                static_cast<std::size_t>(entity->length));
    // The text's own length counts its references' names too: a slight overestimate.
    const std::size_t size = sum(text.size(), referencesSize(doc, text, depth + 1));
    m_sizes[entity] = size; // the map may have grown meanwhile: look the entry up again
    return size;
}

std::size_t EntityExpansion::referencesSize(xmlDoc* doc, std::string_view text, int depth) {
    std::size_t size = 0;
    forEachReference(text, [&](const std::string& name) {
        if (size != kUnbounded)
            size = sum(size, expandedSize(doc, xmlGetDocEntity(doc, BAD_CAST name.c_str()), depth));
    });
    return size;
}

bool EntityExpansion::addReference(xmlDoc* doc, const xmlChar* name) {
    m_total = sum(m_total, expandedSize(doc, xmlGetDocEntity(doc, name), 0));
    return m_total <= m_limit;
}

bool EntityExpansion::addReferencesIn(xmlDoc* doc, std::string_view text) {
    m_total = sum(m_total, referencesSize(doc, text, 0));
    return m_total <= m_limit;
}

} // namespace ondivo
