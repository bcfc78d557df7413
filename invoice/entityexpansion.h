#pragma once

#include <libxml/tree.h>

#include <cstddef>
#include <string_view>
#include <unordered_map>

namespace ondivo {

// Entity references stay unexpanded in a loaded tree, but whoever takes the text of a node
// later (the XSLT processor, for one) expands them. A few bytes of references to one large
// entity can so stand for gigabytes. This tallies what the references met while parsing
// stand for once expanded, so the loader can refuse a document before anyone expands it.
class EntityExpansion {
public:
    explicit EntityExpansion(std::size_t limit) : m_limit(limit) {}

    // Adds one reference to the named entity of the document. False once the total of
    // everything added is over the limit.
    bool addReference(xmlDoc* doc, const xmlChar* name);

    // Adds every general entity reference ("&name;") written in a text, such as an attribute
    // value as the parser hands it over; character references are not counted.
    bool addReferencesIn(xmlDoc* doc, std::string_view text);

private:
    std::size_t expandedSize(xmlDoc* doc, xmlEntity* entity, int depth);
    std::size_t referencesSize(xmlDoc* doc, std::string_view text, int depth);

    std::unordered_map<const xmlEntity*, std::size_t> m_sizes;
    std::size_t m_total = 0;
    std::size_t m_limit;
};

// True when a replacement text refers to another general entity: the nesting that makes
// exponential entity bombs.
bool RefersToEntities(std::string_view text);

// The largest number of attributes written in one start tag of a replacement text (markup
// inside comments, CDATA sections and processing instructions does not count).
std::size_t MostAttributesInATag(std::string_view text);

} // namespace ondivo
