#pragma once

#include <cstddef>
#include <string_view>

namespace ondivo {

// One "<Allegati>" block's two fields as they stand in the file's bytes, trimmed; line breaks
// inside them are still the file's own (see scantext.h).
struct BloccoAllegato {
    std::string_view nome;
    std::string_view dati;
};

// Finds the next block at or after `pos` whose "NomeAttachment" and "Attachment" are both
// non-empty, skipping those that are not, and moves `pos` behind it. False when no block
// remains: no start tag, or a start tag without an end tag.
bool ProssimoAllegato(std::string_view testo, std::size_t& pos, BloccoAllegato& trovato);

} // namespace ondivo
