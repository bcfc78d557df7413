#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace ondivo {

// The verdict on one signature or on a whole file, from the best to the worst; Assente only
// for a file that carries no signature. Each comes from the validation's indication and
// sub-indication (EsitoDi): Valida only for TOTAL_PASSED.
enum class EsitoFirma {
    Valida,          // TOTAL_PASSED
    Integra,         // INDETERMINATE with the signature itself intact
    NonVerificabile, // INDETERMINATE before the signature could be checked
    NonAncoraValida, // TOTAL_FAILED NOT_YET_VALID
    Scaduta,         // TOTAL_FAILED EXPIRED
    Revocata,        // INDETERMINATE REVOKED_NO_POE, REVOKED_CA_NO_POE
    NonValida,       // TOTAL_FAILED otherwise
    Assente
};

// The indication of the validation of one signature (ETSI EN 319 102-1).
enum class Indicazione { TotalPassed, Indeterminate, TotalFailed };

// The words the window and the CLI show for each verdict: "Firma valida", "Firma integra,
// certificatore non verificato", "Firma non verificabile", "Certificato non ancora valido alla
// data della firma", "Certificato scaduto alla data della firma", "Certificato revocato",
// "Firma non valida: documento modificato dopo la firma", "Nessuna firma".
const char* TestoEsito(EsitoFirma esito);
// The key of the JSON output: "valida", "integra", "non_verificabile", "non_ancora_valida",
// "scaduta", "revocata", "non_valida", "assente".
const char* ChiaveEsito(EsitoFirma esito);
// "TOTAL_PASSED", "INDETERMINATE", "TOTAL_FAILED".
const char* ChiaveIndicazione(Indicazione indicazione);
// The worse of two verdicts on signatures (Assente counts as no verdict).
EsitoFirma Peggiore(EsitoFirma a, EsitoFirma b);

// The sub-indications used, as the standard names them; FUTURE_TIME is ours: a signing time
// claimed after the validation time.
namespace sotto {
inline constexpr const char* HashFailure = "HASH_FAILURE";
inline constexpr const char* SigCryptoFailure = "SIG_CRYPTO_FAILURE";
inline constexpr const char* FormatFailure = "FORMAT_FAILURE";
inline constexpr const char* Revoked = "REVOKED";
inline constexpr const char* Expired = "EXPIRED";
inline constexpr const char* NotYetValid = "NOT_YET_VALID";
inline constexpr const char* NoSigningCertificateFound = "NO_SIGNING_CERTIFICATE_FOUND";
inline constexpr const char* RevokedNoPoe = "REVOKED_NO_POE";
inline constexpr const char* RevokedCaNoPoe = "REVOKED_CA_NO_POE";
inline constexpr const char* NoCertificateChainFound = "NO_CERTIFICATE_CHAIN_FOUND";
inline constexpr const char* CertificateChainGeneralFailure = "CERTIFICATE_CHAIN_GENERAL_FAILURE";
inline constexpr const char* FutureTime = "FUTURE_TIME";
inline constexpr const char* OutOfBoundsNoPoe = "OUT_OF_BOUNDS_NO_POE";
inline constexpr const char* ChainConstraintsFailure = "CHAIN_CONSTRAINTS_FAILURE";
inline constexpr const char* CryptoConstraintsFailureNoPoe = "CRYPTO_CONSTRAINTS_FAILURE_NO_POE";
inline constexpr const char* CryptoConstraintsFailure = "CRYPTO_CONSTRAINTS_FAILURE";
inline constexpr const char* TryLater = "TRY_LATER";
} // namespace sotto

// One signer of a file, with what its certificate says and what the checks found. Texts are
// UTF-8 and come from the certificate: shown as plain text only.
struct Firmatario {
    std::string tipo;           // "CAdES" (an envelope) or "XAdES" (inside the XML)
    int livello = 1;            // the envelope it signs: 1 the outer one, 2 the one inside it…
    bool controfirma = false;   // a counter-signature of the signer listed before it
    std::string nome;           // given name and surname, else the common name
    std::string codiceFiscale;  // from a serialNumber "TINIT-…", "IT:…" or "CF:IT-…"
    std::string identificativo; // any other serialNumber or dnQualifier, as written
    std::string organizzazione; // O
    std::string emittente;      // the issuer's common name, else its organisation
    std::string soggetto;       // the whole subject, one line ("CN=…, O=…")
    std::string soggettoEmittente;
    std::string numeroSerie; // hexadecimal
    std::string validoDal;   // YYYY-MM-DD (UTC)
    std::string validoAl;
    std::optional<std::string> dataFirma; // YYYY-MM-DDThh:mm:ssZ, as the signer claims it
    // YYYY-MM-DDThh:mm:ssZ, when a time-stamp of a qualified service proves the signature
    // existed then; and what was found of the signature's time-stamps, in Italian.
    std::optional<std::string> dataProvata;
    std::string marca;
    std::string algoritmo;           // the digest: "SHA-256", "SHA-1"…
    std::string chiave;              // the signer's key: "RSA 2048 bit", "EC P-256", "Ed25519"…
    bool algoritmoDebole = false;    // the digest or the key no longer fit for signatures
    std::string motivoAlgoritmo;     // why, in Italian, when algoritmoDebole
    bool integra = false;            // content digest, signed attributes and signature value hold
    bool attendibile = false;        // the certificate chains to a trusted authority
    std::string revoca;              // what the revocation check found, in Italian
    std::vector<std::string> catena; // subjects from the signer's certificate to the anchor
    // Why the signature is not valid or not trusted, in Italian: the main reason first, then
    // every other one found, each once.
    std::vector<std::string> motivi;
    std::string motivo; // motivi joined with "; "
    Indicazione indicazione = Indicazione::Indeterminate;
    std::string sottoindicazione; // empty for TOTAL_PASSED
    EsitoFirma esito = EsitoFirma::NonVerificabile;
};

// The signatures of a file: the worst verdict over its signers, Assente when there are none.
struct VerificaFirme {
    EsitoFirma esito = EsitoFirma::Assente;
    // Those of the signer with the worst verdict (the first of them).
    std::optional<Indicazione> indicazione;
    std::string sottoindicazione;
    std::vector<Firmatario> firmatari;
    // The file holds content that no signature covers (an element inside a signature, an
    // unsigned object): it is never read as the invoice's.
    bool contenutoNonFirmato = false;
    // What the checks could not do, in Italian (limits reached): said, never skipped silently.
    std::vector<std::string> avvisi;
};

// The verdict of one signature from what its checks found. Checks report through Segnala in
// any order; the most severe finding becomes the indication and sub-indication, and every
// finding's reason is kept in `motivi`.
void Segnala(Firmatario& firmatario, Indicazione indicazione, const char* sottoindicazione,
             const std::string& motivo);
// Completes a signer once every check has reported: TOTAL_PASSED when none did, the verdict
// (EsitoDi) and `motivo`.
void ConcludiFirmatario(Firmatario& firmatario);
// Adds a signer to the file's verdict.
void AggiungiFirmatario(VerificaFirme& verifica, Firmatario firmatario);

EsitoFirma EsitoDi(Indicazione indicazione, const std::string& sottoindicazione);

// The headline of a verdict in the user's words: TestoEsito, made precise by the
// sub-indication ("Firma integra, revoca del certificato non verificata"…).
std::string TestoVerdetto(const Firmatario& firmatario);
// The same for the file: that of its worst signer; TestoEsito(Assente) without signers.
std::string TestoVerdetto(const VerificaFirme& verifica);
// The sub-indication in plain Italian words; empty for an empty one.
std::string ParoleSottoindicazione(const std::string& sottoindicazione);

} // namespace ondivo
