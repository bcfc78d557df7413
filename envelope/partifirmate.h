#pragma once

// Where the XML signatures of a document stand in its bytes, and what each of their references
// declares to cover: for showing the text with the signed parts marked. Nothing here checks a
// digest or a signature value; the verdict on a signature is VerificaFirmeXml's.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ondivo {

// Bytes [inizio, fine) of the text given.
struct IntervalloByte {
    std::size_t inizio = 0;
    std::size_t fine = 0;
    bool operator==(const IntervalloByte&) const = default;
};

// One ds:Reference of a signature's ds:SignedInfo.
struct RiferimentoFirmato {
    std::string uri;       // its URI attribute, references resolved, UTF-8; empty when it has none
    bool senzaUri = false; // the attribute is missing (not merely empty)
    std::vector<IntervalloByte> coperto; // ascending and disjoint; empty when not marked
    bool dentroLaFirma = false;          // what it covers lies inside a ds:Signature element
    std::string motivo;                  // Italian: why nothing is marked; empty when marked
};

// One ds:Signature element (namespace http://www.w3.org/2000/09/xmldsig#).
struct FirmaNelTesto {
    IntervalloByte elemento;                     // from its "<" through the ">" of its end tag
    std::string id;                              // its Id attribute, may be empty
    std::vector<RiferimentoFirmato> riferimenti; // in the order of ds:SignedInfo
};

struct PartiFirmate {
    std::vector<FirmaNelTesto> firme; // every ds:Signature, nested ones too, in document order
    std::string motivo; // Italian: why the text could not be read as XML; then `firme` is empty
};

// Reads the signatures of `xml` (UTF-8 or any ASCII-based encoding, or UTF-16 with a byte order
// mark or starting with "<"), with a scanner of its own that keeps byte offsets exact: comments,
// CDATA sections, processing instructions, the DOCTYPE and quoted attribute values are skipped
// as such, prefixes resolved through the xmlns declarations in scope. Entities declared in a
// DTD are not expanded. Offsets count the bytes of `xml` as given, byte order mark included.
//
// A reference covers:
//   URI=""                the whole text [0, size), less the signature holding the reference
//                         when it has the enveloped-signature transform, less every outermost
//                         ds:Signature with the XPath filter "/descendant::ds:Signature"
//                         (subtract) or the XPath "not(ancestor-or-self::ds:Signature)";
//   URI="#X", "#xpointer(id('X'))"  the element whose Id, ID, id or xml:id is X, when exactly
//                         one element has it, less the same subtractions;
//   URI="#xpointer(/)"    as URI="".
// Any other URI, a missing one, another transform (XSLT, other XPath expressions, Base64...)
// mark nothing and say why in `motivo`. Canonicalisations change nothing marked.
// Never throws: a text that is not well-formed XML gives no signature and `motivo`.
PartiFirmate TrovaPartiFirmate(std::string_view xml);

} // namespace ondivo
