// The lenient Base64 reading that tells an envelope written as Base64 text from a DER one, on
// arbitrary bytes, decoded round after round as the envelope reader does (Base64 of Base64).
// Each answer is checked against a plain reading of the rule: with the white space removed,
// alphabet characters, then at most two "=", a length Base64 can have; such a text must give
// the bytes the strict decoder gives for it padded to whole groups, anything else nothing.
// Then the input as bytes: encoded, broken by white space, padding dropped, read back.
#include "base64.h"
#include "base64text.h"
#include "oracle.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace {

using ondivo::fuzz::check;

constexpr std::string_view kAlfabeto =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::string_view kSpazi = " \t\r\n\f\v";

ONDIVO_ORACLE std::optional<std::string> attesa(std::string_view testo) {
    std::string cifre;
    std::size_t uguali = 0;
    for (const char c : testo) {
        if (kSpazi.find(c) != std::string_view::npos)
            continue;
        if (c == '=') {
            ++uguali;
        } else if (kAlfabeto.find(c) != std::string_view::npos && uguali == 0) {
            cifre += c;
        } else {
            return std::nullopt;
        }
    }
    const std::size_t resto = cifre.size() % 4;
    if (cifre.empty() || resto == 1 || uguali > 2 || (uguali > 0 && (resto + uguali) % 4 != 0))
        return std::nullopt;
    cifre.append((4 - resto) % 4, '=');
    return ondivo::DecodeBase64Text(cifre);
}

ONDIVO_ORACLE void controllaLettura(std::string testo) {
    for (int giro = 0; giro < 4; ++giro) {
        auto letto = ondivo::DecodificaTestoBase64(testo);
        check(letto == attesa(testo));
        if (!letto)
            return;
        testo = std::move(*letto);
    }
}

ONDIVO_ORACLE void controllaRitorno(std::string_view byte) {
    if (byte.empty())
        return;
    const auto primo = static_cast<unsigned char>(byte.front());
    const auto ultimo = static_cast<unsigned char>(byte.back());
    std::string_view sorgente = byte;
    std::string testo = ondivo::TCodificatoreMIME().Encode(sorgente);
    if (primo & 0x80)
        testo.erase(testo.find_last_not_of('=') + 1);
    const std::size_t passo = 1 + primo % 77;
    std::string spezzato;
    for (std::size_t i = 0; i < testo.size(); i += passo)
        spezzato.append(testo, i, passo).push_back(kSpazi[ultimo % kSpazi.size()]);
    check(ondivo::DecodificaTestoBase64(spezzato) == std::optional<std::string>(byte));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view byte(reinterpret_cast<const char*>(data), size);
    controllaLettura(std::string(byte));
    controllaRitorno(byte);
    return 0;
}
