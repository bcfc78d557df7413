#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ondivo {

// The verdict on one signature or on a whole file, from the best to the worst; Assente only
// for a file that carries no signature.
enum class EsitoFirma { Valida, Integra, NonAncoraValida, Scaduta, NonValida, Assente };

// The words the window and the CLI show: "Firma valida", "Firma integra, certificatore non
// verificato", "Firma non valida: documento modificato dopo la firma", "Certificato scaduto
// alla data della firma", "Certificato non ancora valido alla data della firma", "Nessuna firma".
const char* TestoEsito(EsitoFirma esito);
// The key of the JSON output: "valida", "integra", "non_valida", "scaduta",
// "non_ancora_valida", "assente".
const char* ChiaveEsito(EsitoFirma esito);
// The worse of two verdicts on signatures (Assente counts as no verdict).
EsitoFirma Peggiore(EsitoFirma a, EsitoFirma b);

// One signer of a file, with what its certificate says and what the checks found. Texts are
// UTF-8 and come from the certificate: shown as plain text only.
struct Firmatario {
    std::string tipo;            // "CAdES" (an envelope) or "XAdES" (inside the XML)
    int livello = 1;             // the envelope it signs: 1 the outer one, 2 the one inside it…
    bool controfirma = false;    // a counter-signature of the signer listed before it
    std::string nome;            // given name and surname, else the common name
    std::string codiceFiscale;   // from serialNumber, "TINIT-" or "IT:" left out
    std::string organizzazione;  // O
    std::string emittente;       // the issuer's common name, else its organisation
    std::string soggetto;        // the whole subject, one line ("CN=…, O=…")
    std::string soggettoEmittente;
    std::string numeroSerie;     // hexadecimal
    std::string validoDal;       // YYYY-MM-DD (UTC)
    std::string validoAl;
    std::optional<std::string> dataFirma; // YYYY-MM-DDThh:mm:ssZ, when the signature says it
    std::string algoritmo;       // the digest: "SHA-256", "SHA-1"…
    bool algoritmoDebole = false; // SHA-1 or MD5: no longer fit for signatures
    bool integra = false;        // content digest, signed attributes and signature value hold
    bool attendibile = false;    // the certificate chains to a trusted authority
    std::vector<std::string> catena; // subjects from the signer's certificate to the anchor
    std::string motivo;          // in Italian, why the signature is not valid or not trusted
    EsitoFirma esito = EsitoFirma::NonValida;
};

// The signatures of a file: the worst verdict over its signers, Assente when there are none.
struct VerificaFirme {
    EsitoFirma esito = EsitoFirma::Assente;
    std::vector<Firmatario> firmatari;
};

} // namespace ondivo
