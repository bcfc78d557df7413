// The strict Base64 coder on arbitrary bytes. As a text to decode: a length that is not a
// multiple of four raises EErroreCodifica and appends nothing; otherwise the bytes are those of
// a group-by-group decoder written straight from the rules (a table of 255 for everything
// outside the alphabet, whole table bytes ORed together), one, two or three bytes a group by
// where its pads stand. As bytes to encode: Encode's length and alphabet, and the round trip.
#include "base64.h"
#include "oracle.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using ondivo::fuzz::check;

constexpr std::string_view kAlfabeto =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

ONDIVO_ORACLE std::uint32_t valore(char c) {
    const auto k = kAlfabeto.find(c);
    return k == std::string_view::npos ? 255 : static_cast<std::uint32_t>(k);
}

ONDIVO_ORACLE std::string decodificaLenta(std::string_view testo) {
    std::string byte;
    for (std::size_t g = 0; g + 4 <= testo.size(); g += 4) {
        const std::uint32_t v = (valore(testo[g]) << 18) | (valore(testo[g + 1]) << 12) |
                                (valore(testo[g + 2]) << 6) | valore(testo[g + 3]);
        const std::size_t quanti = testo[g + 2] == '=' ? 1 : testo[g + 3] == '=' ? 2 : 3;
        const std::array<char, 3> gruppo = {static_cast<char>((v >> 16) & 255),
                                            static_cast<char>((v >> 8) & 255),
                                            static_cast<char>(v & 255)};
        byte.append(gruppo.data(), quanti);
    }
    return byte;
}

ONDIVO_ORACLE void controllaDecodifica(std::string_view testo) {
    // Something already in the destination must stay in front of what is appended.
    const std::string prima("\0dest", 5);
    std::string destinazione = prima;
    const ondivo::TDecodificatoreMIME decodificatore;
    if (testo.size() % 4 != 0) {
        bool sollevato = false;
        try {
            decodificatore.DecodeToStream(testo, destinazione);
        } catch (const ondivo::EErroreCodifica& e) {
            sollevato = std::string_view(e.what()) == ondivo::MsgDimensioneDecodifica;
        }
        check(sollevato && destinazione == prima);
        return;
    }
    decodificatore.DecodeToStream(testo, destinazione);
    std::size_t lunghezza = 0;
    for (std::size_t g = 0; g < testo.size(); g += 4)
        lunghezza += testo[g + 2] == '=' ? 1 : testo[g + 3] == '=' ? 2 : 3;
    check(destinazione.size() == prima.size() + lunghezza);
    check(destinazione.compare(0, prima.size(), prima) == 0);
    check(destinazione.compare(prima.size(), std::string::npos, decodificaLenta(testo)) == 0);
    check(ondivo::DecodeBase64Text(testo) == destinazione.substr(prima.size()));
}

ONDIVO_ORACLE void controllaCodifica(std::string_view byte) {
    const ondivo::TCodificatoreMIME codificatore;
    std::string_view sorgente = byte;
    const std::string testo = codificatore.Encode(sorgente);
    check(sorgente.empty());
    check(testo.size() == (byte.size() + 2) / 3 * 4);
    const std::size_t pad = byte.size() % 3 == 0 ? 0 : 3 - byte.size() % 3;
    // Alphabet characters only, then the pads.
    const std::size_t fuori = testo.find_first_not_of(kAlfabeto);
    check(pad == 0 ? fuori == std::string::npos : fuori == testo.size() - pad);
    check(testo.find_first_not_of('=', testo.size() - pad) == std::string::npos);
    check(ondivo::DecodeBase64Text(testo) == byte);

    // A count that is a multiple of three encodes that many bytes and leaves the rest.
    const auto conteggio = static_cast<std::int32_t>(byte.size() / 2 / 3 * 3);
    sorgente = byte;
    const std::string parte = codificatore.Encode(sorgente, conteggio);
    check(sorgente == byte.substr(static_cast<std::size_t>(conteggio)));
    check(testo.compare(0, parte.size(), parte) == 0 &&
          parte.size() == static_cast<std::size_t>(conteggio) / 3 * 4);

    // Any other count is refused before a byte is read.
    sorgente = byte;
    bool sollevato = false;
    try {
        codificatore.Encode(sorgente, conteggio + 1);
    } catch (const ondivo::EErroreCodifica& e) {
        sollevato = std::string_view(e.what()) == ondivo::MsgDimensioneCodifica;
    }
    check(sollevato && sorgente == byte);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view byte(reinterpret_cast<const char*>(data), size);
    controllaDecodifica(byte);
    controllaCodifica(byte);
    return 0;
}
