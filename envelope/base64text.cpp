#include "base64text.h"

#include <openssl/evp.h>

#include <array>
#include <cstdint>

namespace ondivo {

namespace {

constexpr std::int8_t kNonValido = -1;
constexpr std::int8_t kSpazio = -2;
constexpr std::int8_t kUguale = -3;

constexpr std::array<std::int8_t, 256> costruisciTabella() {
    std::array<std::int8_t, 256> t{};
    t.fill(kNonValido);
    constexpr std::string_view alfabeto =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::size_t i = 0; i < alfabeto.size(); ++i)
        t[static_cast<unsigned char>(alfabeto[i])] = static_cast<std::int8_t>(i);
    for (char c : std::string_view(" \t\r\n\f\v"))
        t[static_cast<unsigned char>(c)] = kSpazio;
    t['='] = kUguale;
    return t;
}

constexpr auto kTabella = costruisciTabella();

// The labels under which OpenSSL and other tools write signed data.
constexpr std::string_view kEtichettePem[] = {"PKCS7", "CMS", "PKCS #7 SIGNED DATA"};

} // namespace

std::optional<std::string> DecodificaTestoBase64(std::string_view testo) {
    std::string out(testo.size() / 4 * 3 + 3, '\0');
    char* scrivi = out.data();
    std::uint32_t accumulo = 0;
    std::size_t cifre = 0; // Base64 digits seen
    std::size_t uguali = 0;
    for (char c : testo) {
        const std::int8_t v = kTabella[static_cast<unsigned char>(c)];
        if (v >= 0) {
            if (uguali > 0)
                return std::nullopt;
            accumulo = (accumulo << 6) | static_cast<std::uint32_t>(v);
            if (++cifre % 4 == 0) {
                *scrivi++ = static_cast<char>(accumulo >> 16);
                *scrivi++ = static_cast<char>(accumulo >> 8);
                *scrivi++ = static_cast<char>(accumulo);
                accumulo = 0;
            }
        } else if (v == kUguale) {
            ++uguali;
        } else if (v == kNonValido) {
            return std::nullopt;
        }
    }
    const std::size_t resto = cifre % 4;
    if (cifre == 0 || resto == 1 || uguali > 2 || (uguali > 0 && (resto + uguali) % 4 != 0))
        return std::nullopt;
    // The last group's spare low bits are dropped, whatever they hold.
    if (resto == 2) {
        *scrivi++ = static_cast<char>(accumulo >> 4);
    } else if (resto == 3) {
        *scrivi++ = static_cast<char>(accumulo >> 10);
        *scrivi++ = static_cast<char>(accumulo >> 2);
    }
    out.resize(static_cast<std::size_t>(scrivi - out.data()));
    return out;
}

std::optional<std::string> DecodificaPem(std::string_view testo) {
    const auto inizio = testo.find_first_not_of(" \t\r\n\f\v");
    if (inizio == std::string_view::npos)
        return std::nullopt;
    testo.remove_prefix(inizio);
    for (const auto etichetta : kEtichettePem) {
        const std::string apertura = "-----BEGIN " + std::string(etichetta) + "-----";
        if (!testo.starts_with(apertura))
            continue;
        const std::string_view corpo = testo.substr(apertura.size());
        const auto fine = corpo.find("-----END " + std::string(etichetta) + "-----");
        if (fine == std::string_view::npos)
            return std::nullopt;
        return DecodificaTestoBase64(corpo.substr(0, fine));
    }
    return std::nullopt;
}

std::string CodificaBase64(std::string_view dati) {
    std::string testo(4 * ((dati.size() + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(testo.data()),
                                  reinterpret_cast<const unsigned char*>(dati.data()),
                                  static_cast<int>(dati.size()));
    testo.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return testo;
}

} // namespace ondivo
