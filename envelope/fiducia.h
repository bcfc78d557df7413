#pragma once

#include <memory>
#include <string>
#include <vector>

typedef struct x509_store_st X509_STORE;

namespace ondivo {

// The certification authorities signatures are checked against: the certificates of a trusted
// list, or none (then a signature can at best be intact with its authority unverified).
class Fiducia {
public:
    Fiducia(); // no authority
    // The certificates as DER; one that cannot be read is left out.
    explicit Fiducia(const std::vector<std::string>& certificatiDer);
    ~Fiducia();
    Fiducia(const Fiducia&);
    Fiducia& operator=(const Fiducia&);

    bool vuota() const;
    std::size_t numero() const;
    // The store to verify chains with; nullptr when empty. Owned by this object.
    X509_STORE* store() const;

private:
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
// before, whole or not at all ("certificatori.pem" and "elenco.txt" in CartellaFiducia()).
void SalvaElencoFiducia(const ElencoFiducia& elenco);

// Takes in a trusted list the user brought (a file or a download): reads and checks it
// (LeggiElencoFiducia) and keeps it in place of the one kept before (SalvaElencoFiducia).
// Throws OndivoError with the user's message; nothing kept changes then.
ElencoFiducia AccettaElencoFiducia(const std::string& xml);

// "3 certificatori (IT, emesso il 02/05/2024)": how many authorities, the territory and the
// issue date of a list.
std::string SintesiElencoFiducia(const ElencoFiducia& elenco, std::size_t certificatori);

// The authorities kept; an empty Fiducia when none were imported.
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
