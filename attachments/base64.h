#pragma once

#include "errors.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace ondivo {

// Base64 of RFC 4648 (the MIME alphabet, "=" as pad), with this coder's own rules: the encoder
// never breaks lines; the decoder accepts only texts whose length is a multiple of four and
// neither skips nor rejects characters outside the alphabet, which enter their group through
// the table value 255. Pads do not end decoding: each group of four stands on its own.
//
// A source "stream" is a std::string_view read from its front: Encode consumes the bytes it
// reads. A destination "stream" is a std::string written at its end.

inline constexpr const char* MsgDimensioneCodifica = "Uneven size in Encode.";
inline constexpr const char* MsgDimensioneDecodifica = "Uneven size in DecodeToStream.";

// Encode's byte count meaning "everything up to the end of the source".
inline constexpr std::int32_t TuttoIlFlusso = 2147483647;

class EErroreCodifica : public OndivoError {
public:
    using OndivoError::OndivoError;
};

class TComponenteBase {
public:
    virtual ~TComponenteBase() = default;
};

class TCodificatore : public TComponenteBase {
public:
    // Encodes up to `conteggio` bytes from the front of `sorgente` and removes them from it.
    // A count other than TuttoIlFlusso must be a multiple of three (else EErroreCodifica).
    virtual std::string Encode(std::string_view& sorgente,
                               std::int32_t conteggio = TuttoIlFlusso) const = 0;
};

// Three bytes to four characters through a 64-character table.
class TCodificatore3a4 : public TCodificatore {
public:
    std::string Encode(std::string_view& sorgente,
                       std::int32_t conteggio = TuttoIlFlusso) const override;

protected:
    TCodificatore3a4(std::string_view tabella, char pad);

private:
    std::array<char, 64> m_tabella{};
    char m_pad;
};

class TCodificatoreMIME final : public TCodificatore3a4 {
public:
    TCodificatoreMIME();
};

// Values of the 6-bit digits by character code; 255 for every code outside the alphabet.
using TabellaDecodifica = std::array<std::uint8_t, 256>;

class TDecodificatore : public TComponenteBase {
public:
    // Appends the bytes of `testo` to `destinazione`, all at once; nothing is appended when
    // the length of `testo` is not a multiple of four (EErroreCodifica).
    virtual void DecodeToStream(std::string_view testo, std::string& destinazione) const = 0;
};

// Four characters to three bytes through a decoding table.
class TDecodificatore4a3 : public TDecodificatore {
public:
    void DecodeToStream(std::string_view testo, std::string& destinazione) const override;

    // How many bytes DecodeToStream would append for `testo`, found without decoding it;
    // EErroreCodifica for an uneven length, as there.
    std::size_t DimensioneDecodificata(std::string_view testo) const;

protected:
    TDecodificatore4a3(const TabellaDecodifica& tabella, char pad);

private:
    TabellaDecodifica m_tabella;
    // The table's values already moved to the place of each of the four characters of a
    // group, so the inner loop does lookups and ORs only.
    std::array<std::array<std::uint32_t, 256>, 4> m_spostati{};
    unsigned char m_pad;
    // The MIME alphabet with "=" on a processor with the vector path: runs of alphabet
    // characters are then decoded 32 at a time.
    bool m_veloce = false;
};

class TDecodificatoreMIME final : public TDecodificatore4a3 {
public:
    TDecodificatoreMIME();
};

// The bytes of a Base64 text (any values, zero included). Throws EErroreCodifica.
std::string DecodeBase64Text(std::string_view testo);

// The length of DecodeBase64Text(testo), without decoding. Throws EErroreCodifica.
std::size_t DimensioneBase64Text(std::string_view testo);

// The whole file as one line of Base64. A missing file (a folder does not count) gives false
// and the message "Errore: <path> non trovato!"; a file that cannot be read raises
// EFileStreamError.
bool FileToBase64(const std::string& percorso, std::string& testoBase64, std::string& messaggio);

} // namespace ondivo
