#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ondivo {

// One element of a DER encoding: its tag (the first identifier byte; tags of more than one
// byte are not read), its contents and the whole element.
struct ElementoDer {
    unsigned char tag = 0;
    std::string_view contenuto;
    std::string_view intero;
};

// Reads the element at the start of `dati` and moves `dati` past it. nullopt (dati unchanged)
// when the bytes are not a complete definite-length element.
std::optional<ElementoDer> LeggiElementoDer(std::string_view& dati);

// The elements inside a constructed element's contents, in order; nullopt when they do not
// fill it exactly.
std::optional<std::vector<ElementoDer>> FigliDer(std::string_view contenuto);

// An element with a definite length.
std::string ScriviElementoDer(unsigned char tag, std::string_view contenuto);

} // namespace ondivo
