#include "scantext.h"

#include "filestreams.h"

#include <cstring>

namespace ondivo {

void NormalizzaTestoScansione(std::string& testo) {
    if (const void* zero = std::memchr(testo.data(), '\0', testo.size()))
        testo.resize(static_cast<std::size_t>(static_cast<const char*>(zero) - testo.data()));
    const std::size_t n = testo.size();
    if (n == 0)
        return;

    // Each lone CR or lone LF needs one more byte; a last line without a break needs two.
    std::size_t aggiunti = 0;
    const char* s = testo.data();
    for (std::size_t i = 0; i < n; ++i) {
        if (s[i] == '\r')
            aggiunti += (i + 1 < n && s[i + 1] == '\n') ? 0 : 1;
        else if (s[i] == '\n')
            aggiunti += (i > 0 && s[i - 1] == '\r') ? 0 : 1;
    }
    const bool chiusa = s[n - 1] == '\r' || s[n - 1] == '\n';
    if (!chiusa)
        aggiunti += 2;
    if (aggiunti == 0)
        return;

    // Grown in place from the back, so the bytes still to move are never overwritten; once
    // every insertion is made, the rest of the text already stands where it belongs.
    testo.resize(n + aggiunti);
    char* d = testo.data();
    std::size_t j = n + aggiunti;
    if (!chiusa) {
        d[--j] = '\n';
        d[--j] = '\r';
    }
    std::size_t i = n;
    while (i > 0 && j > i) {
        const char c = d[--i];
        if (c == '\n') {
            d[--j] = '\n';
            d[--j] = '\r';
            if (i > 0 && d[i - 1] == '\r')
                --i;
        } else if (c == '\r') {
            d[--j] = '\n';
            d[--j] = '\r';
        } else {
            d[--j] = c;
        }
    }
}

std::string LeggiTestoScansione(const std::string& percorso) {
    // Enough room behind the bytes for the worst growth (every byte a lone line break), so
    // the text is normalised without a second copy of the file in memory.
    std::string testo = LeggiFile(percorso, true);
    NormalizzaTestoScansione(testo);
    return testo;
}

} // namespace ondivo
