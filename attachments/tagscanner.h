#pragma once

#include <cstddef>
#include <string_view>

namespace ondivo {

// Text routines that find elements by their literal tags "<name>" and "</name>", byte for
// byte: no attributes, no namespace prefix, no other letter case, no regard for comments,
// CDATA sections or entity references.
//
// Positions are 1-based; 0 means "not found". Results that are texts are views into `s`.

// The first position p >= from where `sub` stands in `s` (a `from` of 0 counts as 1); 0 when
// there is none, when either text is empty or when `sub` cannot fit between `from` and the
// end of `s`.
std::size_t PosDa(std::string_view sub, std::string_view s, std::size_t from);

// The next whole element named `tag` at or after `pos`, its tags included; `pos` then points
// right behind it. When there is none, "" and `pos` unchanged.
std::string_view EstraiBlocco(std::string_view s, std::string_view tag, std::size_t& pos);

// The trimmed text between the first start tag and the first end tag of `tag` in `s`, both
// searched from the beginning; "" when either is missing or the end tag comes first.
std::string_view ValoreTag(std::string_view s, std::string_view tag);

} // namespace ondivo
