#include "accentfolding.h"

#include "ansicodec.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace ondivo {

namespace {

// Twelve of the thirteen folded characters are two-byte UTF-8 sequences starting with 0xC3;
// indexed by the second byte less 0x80, the letter that goes before the apostrophe, or 0.
constexpr std::array<char, 64> kLetteraC3 = [] {
    std::array<char, 64> t{};
    t[0x00] = 'A'; // U+00C0
    t[0x08] = 'E'; // U+00C8
    t[0x09] = 'E'; // U+00C9
    t[0x0C] = 'I'; // U+00CC
    t[0x12] = 'O'; // U+00D2
    t[0x19] = 'U'; // U+00D9
    t[0x20] = 'a'; // U+00E0
    t[0x28] = 'e'; // U+00E8
    t[0x29] = 'e'; // U+00E9
    t[0x2C] = 'i'; // U+00EC
    t[0x32] = 'o'; // U+00F2
    t[0x39] = 'u'; // U+00F9
    return t;
}();

constexpr std::string_view kEuro = "\xE2\x82\xAC";

bool isContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

bool containsFoldable(std::string_view s) {
    const char* p = s.data();
    const char* end = p + s.size();
    for (const char* q = p; (q = static_cast<const char*>(std::memchr(q, 0xC3, end - q))); ++q) {
        if (q + 1 < end && isContinuation(q[1]) &&
            kLetteraC3[static_cast<unsigned char>(q[1]) - 0x80])
            return true;
    }
    return s.find(kEuro) != std::string_view::npos;
}

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

// Rewrites the text, in place, as the ANSI round trip and the folding leave it, in one pass.
// No character's new form is longer than its UTF-8 form, so the write position never passes
// the read position, and every character is read before anything is written over it.
void foldThroughCodePage(std::string& testo) {
    char* const inizio = testo.data();
    const std::string_view in(inizio, testo.size());
    const char* p = inizio;
    char* o = inizio;
    const std::size_t n = in.size();
    std::size_t i = 0;
    while (i < n) {
        while (i + 8 <= n) {
            std::uint64_t w;
            std::memcpy(&w, p + i, 8);
            if (w & kHighBits)
                break;
            std::memcpy(o, &w, 8);
            o += 8;
            i += 8;
        }
        while (i < n && static_cast<unsigned char>(p[i]) < 0x80)
            *o++ = p[i++];
        if (i >= n)
            break;

        const auto c = static_cast<unsigned char>(p[i]);
        if ((c == 0xC3 || c == 0xC2) && i + 1 < n && isContinuation(p[i + 1])) {
            const auto c2 = static_cast<unsigned char>(p[i + 1]);
            const char lettera = c == 0xC3 ? kLetteraC3[c2 - 0x80] : 0;
            // U+00A0..U+00FF are the same characters in the code page.
            if (lettera || c == 0xC3 || c2 >= 0xA0) {
                o[0] = lettera ? lettera : static_cast<char>(c);
                o[1] = lettera ? '\'' : static_cast<char>(c2);
                o += 2;
                i += 2;
                continue;
            }
        }

        std::size_t j = i;
        const char32_t cp = DecodeUtf8(in, j);
        if (cp == 0x20AC) {
            o[0] = 'E';
            o[1] = 'U';
            o += 2;
        } else if (AnsiByteFor(cp) >= 0) {
            std::memmove(o, p + i, j - i);
            o += j - i;
        } else {
            // The code page's substitute, always a single ASCII character.
            const std::string sostituto = Utf8ToAnsi(in.substr(i, j - i));
            *o++ = sostituto.empty() ? '?' : sostituto.front();
        }
        i = j;
    }
    testo.resize(static_cast<std::size_t>(o - inizio));
}

} // namespace

std::string PiegaAccenti(std::string html) {
    if (containsFoldable(html))
        foldThroughCodePage(html);
    return html;
}

} // namespace ondivo
