#pragma once

#include "esitofirma.h"
#include "fiducia.h"

#include <chrono>
#include <ctime>
#include <string>
#include <string_view>

namespace ondivo {

// How signatures are judged besides the authorities they are checked against.
struct OpzioniVerifica {
    std::time_t ora = 0; // the validation time; 0 for now
    // Ask the network, only when the user asked for it: for a chain to a trusted authority
    // without current revocation data, its CRL distribution points and OCSP responders (http
    // only, all within `scadenzaRete`), keeping lists in the user's cache.
    bool rete = false;
    std::chrono::milliseconds scadenzaRete{15000};
};

// The signers of a signed envelope (CMS/CAdES) given as its bytes: DER, Base64 (perhaps of
// Base64) or PEM. Every signer of every level (an envelope inside the content is verified in
// turn) and every counter-signature is listed. Throws OndivoError "Impossibile leggere la busta
// firmata: …" when the bytes are not an envelope.
VerificaFirme VerificaBusta(std::string_view dati, const Fiducia& fiducia,
                            const OpzioniVerifica& opzioni = {});

// The XML signatures (XAdES, ds:Signature) inside an invoice's XML; Assente when it has none.
// Throws OndivoError when the text is not XML.
VerificaFirme VerificaFirmeXml(std::string_view xml, const Fiducia& fiducia,
                               const OpzioniVerifica& opzioni = {});

// The signatures of the file the user chose: an envelope (".p7m" or any file that is not
// plain XML) by VerificaBusta, plain XML by VerificaFirmeXml. Errors: the file layer's, and
// those of the two above.
VerificaFirme VerificaFirmeFile(const std::string& percorso, const Fiducia& fiducia,
                                const OpzioniVerifica& opzioni = {});

// The same on the file's bytes, already read; `nome` is the file's name, which tells an
// envelope.
VerificaFirme VerificaFirmeDati(const std::string& dati, const std::string& nome,
                                const Fiducia& fiducia, const OpzioniVerifica& opzioni = {});

} // namespace ondivo
