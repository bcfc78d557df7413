#include "text.h"

#include <algorithm>
#include <cstdio>

namespace ondivo {

namespace {
bool isBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}
} // namespace

std::string_view Trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string MinuscoleAscii(std::string testo) {
    for (char& c : testo)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return testo;
}

std::string UnisciValori(const std::vector<std::string>& valori) {
    std::string unito;
    for (const auto& v : valori) {
        unito += v;
        unito += "\r\n";
    }
    return std::string(Trim(unito));
}

std::string ControlliVisibili(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        char escape[8];
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\x%02x", c);
            out += escape;
        } else if (c == 0xC2 && i + 1 < utf8.size() &&
                   static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
            std::snprintf(escape, sizeof escape, "\\u00%02x",
                          static_cast<unsigned char>(utf8[i + 1]));
            out += escape;
            ++i;
        } else if (utf8.substr(i, 3) == "\xE2\x80\xA8" || utf8.substr(i, 3) == "\xE2\x80\xA9") {
            out += utf8[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
            i += 2;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::size_t SequenzaUtf8(std::string_view s) {
    if (s.empty())
        return 0;
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char c = b(0);
    if (c < 0x80)
        return 1;
    std::size_t n;
    unsigned char minimo = 0x80, massimo = 0xBF; // the range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        if (c == 0xE0)
            minimo = 0xA0; // overlong
        else if (c == 0xED)
            massimo = 0x9F; // surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        if (c == 0xF0)
            minimo = 0x90; // overlong
        else if (c == 0xF4)
            massimo = 0x8F; // beyond U+10FFFF
    } else {
        return 0;
    }
    if (s.size() < n || b(1) < minimo || b(1) > massimo)
        return 0;
    for (std::size_t i = 2; i < n; ++i)
        if (b(i) < 0x80 || b(i) > 0xBF)
            return 0;
    return n;
}

bool Utf8Valido(std::string_view s) {
    while (!s.empty()) {
        const std::size_t n = SequenzaUtf8(s);
        if (n == 0)
            return false;
        s.remove_prefix(n);
    }
    return true;
}

std::string Utf8Sostituito(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    while (!s.empty()) {
        const std::size_t n = SequenzaUtf8(s);
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            s.remove_prefix(1);
        } else {
            out.append(s.substr(0, n));
            s.remove_prefix(n);
        }
    }
    return out;
}

std::string TestoBoxErrore(const std::string& messaggio) {
    if (!messaggio.empty() && static_cast<unsigned char>(messaggio.back()) > '.')
        return messaggio + ".";
    return messaggio;
}

std::string ImportoItaliano(const std::string& importo, bool migliaia) {
    std::string testo = importo;
    const auto punto = testo.find('.');
    if (punto != std::string::npos && testo.find_first_not_of("-+0123456789.") == std::string::npos)
        testo[punto] = ',';
    // Groups of three digits only in a plain decimal: a sign, digits, a comma and digits.
    if (!migliaia)
        return testo;
    const std::size_t segno = !testo.empty() && (testo[0] == '-' || testo[0] == '+') ? 1 : 0;
    const std::size_t fine = std::min(testo.find(','), testo.size());
    const auto cifre = [&](std::size_t da, std::size_t a) {
        return a > da && testo.find_first_not_of("0123456789", da) >= a;
    };
    if (!cifre(segno, fine) || (fine < testo.size() && !cifre(fine + 1, testo.size())))
        return testo;
    for (std::size_t i = fine; i > segno + 3; i -= 3)
        testo.insert(i - 3, 1, '.');
    return testo;
}

std::string DataItaliana(const std::string& data) {
    if (data.size() != 10 || data[4] != '-' || data[7] != '-')
        return data;
    return data.substr(8, 2) + "/" + data.substr(5, 2) + "/" + data.substr(0, 4);
}

} // namespace ondivo
