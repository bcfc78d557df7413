#pragma once

#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

typedef struct x509_store_st X509_STORE;
typedef struct x509_st X509;

namespace ondivo {

inline constexpr const char* ServizioCertificatoreQualificato =
    "http://uri.etsi.org/TrstSvc/Svctype/CA/QC";
inline constexpr const char* ServizioMarcheQualificate =
    "http://uri.etsi.org/TrstSvc/Svctype/TSA/QTST";

// One status of a trust service, in force from `dal` (seconds since the epoch; 0: always)
// until the next one.
struct StatoServizio {
    std::string stato; // ServiceStatus, a URI
    std::time_t dal = 0;
};

// A service of a trusted list: its type, its certificates (DER) and its statuses, the
// current one and those of its history, in any order.
struct ServizioFiducia {
    std::string tipo;
    std::vector<std::string> certificati;
    std::vector<StatoServizio> stati;
};

// The status is one under which what the service issued counts as qualified: granted, or
// one of the statuses of before 2016 that meant the same.
bool StatoQualificato(const std::string& stato);

// The authorities signatures are checked against: the certification and time-stamping
// services of a trusted list with their statuses, or none (then a signature can at best be
// intact with its authority unverified).
class Fiducia {
public:
    Fiducia(); // no authority
    // Certification authorities given by their certificates (DER), each taken as qualified
    // at any time; one that cannot be read is left out.
    explicit Fiducia(const std::vector<std::string>& certificatiDer);
    // The services of a list, and when it should have been replaced (0: not said).
    explicit Fiducia(const std::vector<ServizioFiducia>& servizi,
                     std::time_t prossimoAggiornamento = 0);
    ~Fiducia();
    Fiducia(const Fiducia&);
    Fiducia& operator=(const Fiducia&);

    bool vuota() const;
    std::size_t numero() const; // certification authorities
    // The store to verify chains with; nullptr when empty. Owned by this object.
    X509_STORE* store() const;
    // The store of the time-stamping authorities; nullptr when the list names none.
    X509_STORE* storeMarche() const;
    // Why what `autorita`, a certificate of the list, did at `quando` is not qualified: no
    // service of type `tipo` has it, or none was in a qualified status then, or the statuses
    // are not known; nullopt when it is qualified.
    std::optional<std::string>
    NonQualificato(X509* autorita, std::time_t quando,
                   const char* tipo = ServizioCertificatoreQualificato) const;
    // When the list should have been replaced by a newer one; 0 when it does not say.
    std::time_t prossimoAggiornamento() const;

private:
    friend Fiducia CaricaFiducia();
    struct Dati;
    std::shared_ptr<const Dati> m_dati;
};

// A trusted list (ETSI TS 119 612) read and checked: the qualified certification authorities
// it names (services of type CA/QC), and about the list itself.
struct ElencoFiducia {
    std::string territorio;               // SchemeTerritory, "IT"
    std::string numeroSequenza;           // TSLSequenceNumber
    std::string dataEmissione;            // ListIssueDateTime, as written
    std::string prossimoAggiornamento;    // NextUpdate/dateTime, as written
    std::string firmatario;               // the subject of the certificate that signed the list
    std::vector<std::string> certificati; // DER, one per authority certificate, no repeats
    // The certification and time-stamping services, with their statuses and history. A list
    // saved with `certificati` alone takes them as qualified certification authorities.
    std::vector<ServizioFiducia> servizi;
    // The list of lists (the European one): the signers (DER) of each territory's list, by
    // territory, as its pointers name them; empty for a territory's own list.
    std::map<std::string, std::vector<std::string>> firmatariDegliElenchi;
    std::string certificatoFirmatario; // Base64 of the DER of the list's signer
    // "sì" when the list's signer is one known for lists (AutenticaElencoFiducia); otherwise
    // `motivoNonAutenticato` says why, and nothing the list names vouches for a signature.
    std::string autenticato;
    std::string motivoNonAutenticato;
};

// Reads a trusted list and verifies its own XML signature (enveloped, with the signing
// certificate in its KeyInfo) before anything in it is used. Throws OndivoError with the
// user's message: "Elenco di fiducia non valido: …" (not XML, not a trusted list, no
// signature, signature not valid, no authority in it).
ElencoFiducia LeggiElencoFiducia(const std::string& xml);

// Where the authorities of the imported list are kept: CartellaDatiUtente() + "fiducia/".
// Empty when the user has no data folder.
std::string CartellaFiducia();

// Keeps the authorities of a list that LeggiElencoFiducia accepted, replacing the ones kept
// before ("certificatori.pem", "servizi.txt" and "elenco.txt" in CartellaFiducia()).
void SalvaElencoFiducia(const ElencoFiducia& elenco);

// Whether a list read by LeggiElencoFiducia is authentic: its signer is one of the known
// signers of lists (the program's "fiducia/firmatari.pem", the user's
// CartellaFiducia() + "firmatari-noti.pem"), one the authentic list of lists kept names for
// its territory, or the one of the list kept, when that was authentic and of the same
// territory. Sets `autenticato` and `motivoNonAutenticato`.
void AutenticaElencoFiducia(ElencoFiducia& elenco);

// Takes in a trusted list the user brought (a file or a download): reads and checks it
// (LeggiElencoFiducia, AutenticaElencoFiducia) and keeps it in place of the one kept before
// (SalvaElencoFiducia); a list that is not authentic is kept too, and vouches for nothing.
// A list of lists is kept apart ("elenchi.txt"), for the lists it names, and only when
// authentic: otherwise it is refused.
// Throws OndivoError with the user's message; nothing kept changes then.
ElencoFiducia AccettaElencoFiducia(const std::string& xml);

// "3 certificatori (IT, emesso il 02/05/2024)": how many authorities, the territory and the
// issue date of a list.
std::string SintesiElencoFiducia(const ElencoFiducia& elenco, std::size_t certificatori);

// When the list should already have been replaced at `ora` (0: now): "da sostituire: il
// prossimo aggiornamento era previsto entro il 02/11/2024"; empty otherwise.
std::string AvvisoAggiornamentoElenco(const ElencoFiducia& elenco, std::time_t ora = 0);

// The authorities kept; an empty Fiducia when none were imported. Authorities kept by an
// earlier version, without their statuses, are there, but nothing they issued is qualified
// until the list is imported again.
Fiducia CaricaFiducia();

// What is known of the list kept ("elenco.txt"): nullopt-like empty territorio when none.
ElencoFiducia DescrizioneFiduciaSalvata();

// The public address a list update is downloaded from: the one the user set
// (CartellaFiducia() + "indirizzo"), else IndirizzoPredefinitoElencoFiducia.
inline constexpr const char* IndirizzoPredefinitoElencoFiducia =
    "https://eidas.agid.gov.it/TL/TSL-IT.xml";
std::string IndirizzoElencoFiducia();
void ImpostaIndirizzoElencoFiducia(const std::string& indirizzo);

} // namespace ondivo
