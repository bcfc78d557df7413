#include "formabusta.h"
#include "base64text.h"

namespace ondivo {

namespace {

// Every DER or BER envelope starts with a SEQUENCE tag; Base64 text never does.
constexpr char kInizioDer = 0x30;
// Envelopes are seen Base64-encoded twice; more rounds than this are not an envelope.
constexpr int kGiriBase64 = 4;
constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kSpazi = " \t\r\n\f\v";
// The object identifier of CMS signed data, 1.2.840.113549.1.7.2, with its tag and length.
constexpr std::string_view kTipoSignedData = "\x06\x09\x2A\x86\x48\x86\xF7\x0D\x01\x07\x02";

std::string_view senzaBom(std::string_view testo) {
    return testo.starts_with(kBom) ? testo.substr(kBom.size()) : testo;
}

bool cifraBase64(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '/';
}

} // namespace

// XML text rather than an envelope: "<" first, after a BOM and blanks.
bool EXmlSemplice(std::string_view dati) {
    dati = senzaBom(dati);
    const auto primo = dati.find_first_not_of(kSpazi);
    return primo != std::string_view::npos && dati[primo] == '<';
}

// True when the bytes start as an envelope does: a SEQUENCE, of any length form, whose first
// element is the signed-data type. Stricter than the first byte alone, which a content may
// well start with ("0" is 0x30).
bool EBustaDer(std::string_view dati) {
    if (dati.size() < 2 || dati[0] != kInizioDer)
        return false;
    const auto lunghezza = static_cast<unsigned char>(dati[1]);
    if (lunghezza > 0x84)
        return false;
    // Short form: the length itself; 0x80: indefinite; 0x81 to 0x84: that many bytes follow.
    const std::size_t inizio = 2 + (lunghezza > 0x80 ? lunghezza - 0x80u : 0u);
    return inizio <= dati.size() && dati.substr(inizio).starts_with(kTipoSignedData);
}

// The bytes of an envelope written as text: PEM, or Base64 (perhaps Base64 of Base64, decoded
// until DER appears), after a UTF-8 BOM. nullopt when the text is neither; otherwise what was
// decoded, which the tool may still reject.
std::optional<std::string> DerDaTesto(std::string_view testo) {
    testo = senzaBom(testo);
    const auto primo = testo.find_first_not_of(kSpazi);
    if (primo == std::string_view::npos)
        return std::nullopt;
    if (testo[primo] == '-')
        return DecodificaPem(testo);
    // XML and binary contents are refused here, before a whole decoding is tried.
    if (!cifraBase64(testo[primo]))
        return std::nullopt;
    std::string der;
    bool decodificato = false;
    for (int giro = 0; giro < kGiriBase64; ++giro) {
        auto giroDecodificato = DecodificaTestoBase64(decodificato ? std::string_view(der) : testo);
        if (!giroDecodificato)
            break;
        der = std::move(*giroDecodificato);
        decodificato = true;
        if (!der.empty() && der[0] == kInizioDer)
            break;
    }
    if (!decodificato)
        return std::nullopt;
    return der;
}

// The envelope inside an extracted content, as DER: the content itself or its decoding;
// nullopt when the content is not an envelope.
std::optional<std::string> BustaInterna(std::string_view contenuto) {
    if (EBustaDer(contenuto))
        return std::string(contenuto);
    auto der = DerDaTesto(contenuto);
    if (der && EBustaDer(*der))
        return der;
    return std::nullopt;
}

} // namespace ondivo
