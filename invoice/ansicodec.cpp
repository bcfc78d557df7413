#include "ansicodec.h"

#include <array>
#include <cstring>

namespace ondivo {

namespace {

// Code points of the bytes 0x80..0x9F; the rest of Windows-1252 equals Latin-1.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Nearest plain letter for U+0100..U+024F (Latin Extended-A and -B), "?" where none is obvious.
constexpr std::string_view kLatinExtended =
    "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIi??JjKkkLlLlLlL"
    "lLlNnNnNn???OoOoOo??RrRrRrSsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZzs"
    "b??????????????????????I??l?????Oo?????????????Uu????Zz?????????"
    "?????????????AaIiOoUuUuUuUuUu?AaAa??GgGgKkOoOo??j???Gg??NnAa??Oo"
    "AaAaEeEeIiIiOoOoRrRrUuUuSsTt??Hh??????AaEeOoOoOoOoYy????????????"
    "????????????????";

char substitute(char32_t cp) {
    if (cp >= 0x0100 && cp < 0x0100 + kLatinExtended.size())
        return kLatinExtended[cp - 0x0100];
    if (cp >= 0xFF01 && cp <= 0xFF5E) // full-width ASCII
        return static_cast<char>(cp - 0xFF01 + 0x21);
    switch (cp) {
    case 0x2010:
    case 0x2011:
    case 0x2012:
    case 0x2212:
        return '-';
    case 0x2032:
        return '\'';
    case 0x2033:
        return '"';
    case 0x3000:
        return ' ';
    default:
        return '?';
    }
}

} // namespace

int AnsiByteFor(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<int>(cp);
    for (std::size_t k = 0; k < kHigh.size(); ++k)
        if (kHigh[k] == cp)
            return static_cast<int>(0x80 + k);
    return -1;
}

char32_t AnsiCodePoint(unsigned char b) {
    return (b >= 0x80 && b < 0xA0) ? kHigh[b - 0x80] : b;
}

char32_t DecodeUtf8(std::string_view s, std::size_t& i) {
    const auto c0 = static_cast<unsigned char>(s[i]);
    if (c0 < 0x80) {
        ++i;
        return c0;
    }
    int extra;
    char32_t cp;
    char32_t min;
    if ((c0 & 0xE0) == 0xC0) {
        extra = 1, cp = c0 & 0x1F, min = 0x80;
    } else if ((c0 & 0xF0) == 0xE0) {
        extra = 2, cp = c0 & 0x0F, min = 0x800;
    } else if ((c0 & 0xF8) == 0xF0) {
        extra = 3, cp = c0 & 0x07, min = 0x10000;
    } else {
        ++i;
        return 0xFFFD;
    }
    if (i + extra >= s.size()) {
        ++i;
        return 0xFFFD;
    }
    for (int k = 1; k <= extra; ++k) {
        const auto ck = static_cast<unsigned char>(s[i + k]);
        if ((ck & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (ck & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return 0xFFFD;
    }
    i += extra + 1;
    return cp;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string Utf8ToAnsi(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        if (static_cast<unsigned char>(utf8[i]) < 0x80) {
            // Runs of ASCII, most of an HTML page, are copied whole.
            std::size_t fine = i + 1;
            while (fine < utf8.size() && static_cast<unsigned char>(utf8[fine]) < 0x80)
                ++fine;
            out.append(utf8.substr(i, fine - i));
            i = fine;
            continue;
        }
        const char32_t cp = DecodeUtf8(utf8, i);
        const int b = AnsiByteFor(cp);
        out += b >= 0 ? static_cast<char>(b) : substitute(cp);
    }
    return out;
}

std::string Utf8ToAnsi(std::string&& utf8) {
    // Every character becomes one byte, never more than its UTF-8 form: the write position
    // never passes the read position.
    const std::string_view in(utf8);
    std::size_t o = 0;
    std::size_t i = 0;
    while (i < in.size()) {
        if (static_cast<unsigned char>(in[i]) < 0x80) {
            std::size_t fine = i + 1;
            while (fine < in.size() && static_cast<unsigned char>(in[fine]) < 0x80)
                ++fine;
            if (o != i)
                std::memmove(utf8.data() + o, utf8.data() + i, fine - i);
            o += fine - i;
            i = fine;
            continue;
        }
        const char32_t cp = DecodeUtf8(in, i);
        const int b = AnsiByteFor(cp);
        utf8[o++] = b >= 0 ? static_cast<char>(b) : substitute(cp);
    }
    utf8.resize(o);
    return std::move(utf8);
}

std::string AnsiToUtf8(std::string_view ansi) {
    std::string out;
    out.reserve(ansi.size() + ansi.size() / 8);
    for (char ch : ansi)
        AppendUtf8(out, AnsiCodePoint(static_cast<unsigned char>(ch)));
    return out;
}

} // namespace ondivo
