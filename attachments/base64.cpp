#include "base64.h"
#include "base64_avx2.h"

#include <algorithm>
#include <cstring>

namespace ondivo {

namespace {

constexpr std::string_view kAlfabetoMIME =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kPadMIME = '=';

// Every code maps to 255 except the alphabet's characters, which map to their digit value.
// Codes 0 and 128 to 255 lie outside the alphabet like any other, so a lookup by an unsigned
// byte never leaves the table.
constexpr TabellaDecodifica tabellaDa(std::string_view alfabeto) {
    TabellaDecodifica tabella{};
    for (auto& voce : tabella)
        voce = 255;
    for (std::size_t k = 0; k < alfabeto.size(); ++k)
        tabella[static_cast<unsigned char>(alfabeto[k])] = static_cast<std::uint8_t>(k);
    return tabella;
}

// Bytes a group of four leaves: a pad in third place one, whatever follows it; a pad in fourth
// place two; else three. Pads in the first two places change nothing.
inline std::size_t byteDelGruppo(const unsigned char* gruppo, unsigned char pad) {
    return gruppo[2] == pad ? 1 : (gruppo[3] == pad ? 2 : 3);
}

// Built at compile time and only read; each decoder takes its own copy.
constexpr TabellaDecodifica kTabellaDecodificaMIME = tabellaDa(kAlfabetoMIME);

} // namespace

TCodificatore3a4::TCodificatore3a4(std::string_view tabella, char pad) : m_pad(pad) {
    std::copy_n(tabella.begin(), std::min(tabella.size(), m_tabella.size()), m_tabella.begin());
}

std::string TCodificatore3a4::Encode(std::string_view& sorgente, std::int32_t conteggio) const {
    if (conteggio != TuttoIlFlusso && conteggio % 3 != 0)
        throw EErroreCodifica(MsgDimensioneCodifica);
    const std::size_t disponibili = std::min<std::size_t>(sorgente.size(), TuttoIlFlusso);
    const std::int32_t n = std::min(static_cast<std::int32_t>(disponibili), conteggio);
    if (n <= 0)
        return {};

    const auto* in = reinterpret_cast<const unsigned char*>(sorgente.data());
    sorgente.remove_prefix(static_cast<std::size_t>(n));
    std::string testo(static_cast<std::size_t>((n + 2) / 3) * 4, '\0');
    char* out = testo.data();
    const char* t = m_tabella.data();

    const std::int32_t interi = n / 3 * 3;
    for (std::int32_t i = 0; i < interi; i += 3, in += 3, out += 4) {
        const std::uint32_t v = (std::uint32_t{in[0]} << 16) | (std::uint32_t{in[1]} << 8) | in[2];
        out[0] = t[v >> 18];
        out[1] = t[(v >> 12) & 63];
        out[2] = t[(v >> 6) & 63];
        out[3] = t[v & 63];
    }
    const std::int32_t resto = n - interi;
    if (resto > 0) {
        const std::uint32_t b2 = resto == 2 ? in[1] : 0;
        const std::uint32_t v = (std::uint32_t{in[0]} << 16) | (b2 << 8);
        out[0] = t[v >> 18];
        out[1] = t[(v >> 12) & 63];
        out[2] = resto == 2 ? t[(v >> 6) & 63] : m_pad;
        out[3] = m_pad;
    }
    return testo;
}

TCodificatoreMIME::TCodificatoreMIME() : TCodificatore3a4(kAlfabetoMIME, kPadMIME) {}

TDecodificatore4a3::TDecodificatore4a3(const TabellaDecodifica& tabella, char pad)
    : m_tabella(tabella), m_pad(static_cast<unsigned char>(pad)) {
    // Whole table bytes are shifted in, so a 255 also sets the lowest two bits of the digit to
    // its left; that is part of how characters outside the alphabet decode.
    for (std::size_t c = 0; c < m_tabella.size(); ++c) {
        const std::uint32_t valore = m_tabella[c];
        m_spostati[0][c] = valore << 18;
        m_spostati[1][c] = valore << 12;
        m_spostati[2][c] = valore << 6;
        m_spostati[3][c] = valore;
    }
    m_veloce = m_tabella == kTabellaDecodificaMIME &&
               m_pad == static_cast<unsigned char>(kPadMIME) && DecodificaVelocePossibile();
}

void TDecodificatore4a3::DecodeToStream(std::string_view testo, std::string& destinazione) const {
    if (testo.size() % 4 != 0)
        throw EErroreCodifica(MsgDimensioneDecodifica);
    if (testo.empty())
        return;

    // Room for three bytes a group, sized once; groups with pads use fewer and the string is
    // cut to the bytes produced at the end. Every group writes all three of its slots, which
    // keeps the loop free of branches on the pad.
    const std::size_t inizio = destinazione.size();
    destinazione.resize(inizio + testo.size() / 4 * 3);
    auto* out = reinterpret_cast<unsigned char*>(destinazione.data() + inizio);
    const auto* in = reinterpret_cast<const unsigned char*>(testo.data());
    const auto* fine = in + testo.size();
    const std::uint32_t* t0 = m_spostati[0].data();
    const std::uint32_t* t1 = m_spostati[1].data();
    const std::uint32_t* t2 = m_spostati[2].data();
    const std::uint32_t* t3 = m_spostati[3].data();
    const unsigned char pad = m_pad;

    while (in != fine) {
        if (m_veloce) {
            const std::size_t fatti =
                DecodificaBlocchiAlfabeto(in, static_cast<std::size_t>(fine - in), out);
            in += fatti;
            out += fatti / 4 * 3;
        }
        // Group by group up to the end of the block that stopped the vector path (it holds a
        // pad or a character outside the alphabet), or to the end of the text.
        const auto* fineBlocco =
            in + std::min<std::size_t>(32, static_cast<std::size_t>(fine - in));
        for (; in != fineBlocco; in += 4) {
            const std::uint32_t v = t0[in[0]] | t1[in[1]] | t2[in[2]] | t3[in[3]];
            out[0] = static_cast<unsigned char>(v >> 16);
            out[1] = static_cast<unsigned char>(v >> 8);
            out[2] = static_cast<unsigned char>(v);
            out += byteDelGruppo(in, pad);
        }
    }
    destinazione.resize(
        static_cast<std::size_t>(out - reinterpret_cast<unsigned char*>(destinazione.data())));
}

std::size_t TDecodificatore4a3::DimensioneDecodificata(std::string_view testo) const {
    if (testo.size() % 4 != 0)
        throw EErroreCodifica(MsgDimensioneDecodifica);
    const auto* in = reinterpret_cast<const unsigned char*>(testo.data());
    std::size_t byte = 0;
    for (std::size_t g = 0; g < testo.size(); g += 4)
        byte += byteDelGruppo(in + g, m_pad);
    return byte;
}

TDecodificatoreMIME::TDecodificatoreMIME() : TDecodificatore4a3(kTabellaDecodificaMIME, kPadMIME) {}

std::string DecodeBase64Text(std::string_view testo) {
    const TDecodificatoreMIME decodificatore;
    std::string byte;
    decodificatore.DecodeToStream(testo, byte);
    return byte;
}

std::size_t DimensioneBase64Text(std::string_view testo) {
    return TDecodificatoreMIME().DimensioneDecodificata(testo);
}

} // namespace ondivo
