#pragma once

#include <cstddef>

namespace ondivo {

// Fast path of the MIME Base64 decoder for runs of alphabet characters, with AVX2 where the
// processor has it. Both functions are plain on other processors and compilers: the first
// answers false and the second decodes nothing.

// Whether this processor can take the fast path (asked once).
bool DecodificaVelocePossibile();

// Decodes whole blocks of 32 characters from the front of `testo` (`n` characters) as long as
// a block holds only the 64 characters of the alphabet (no pad, no other byte), writing 24
// bytes a block to `uscita`. Returns the characters consumed, a multiple of 32; the block that
// stopped it is left to the general decoder.
std::size_t DecodificaBlocchiAlfabeto(const unsigned char* testo, std::size_t n,
                                      unsigned char* uscita);

} // namespace ondivo
