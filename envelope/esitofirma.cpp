#include "esitofirma.h"
#include "text.h"

#include <algorithm>
#include <iterator>
#include <string_view>

namespace ondivo {

namespace {

// The sub-indications from the most severe, each with its words. A TOTAL_FAILED one always
// outranks an INDETERMINATE one.
struct Voce {
    std::string_view chiave;
    const char* parole;
};

constexpr Voce kSottoindicazioni[] = {
    {sotto::HashFailure, "il documento è stato modificato dopo la firma"},
    {sotto::SigCryptoFailure,
     "il valore della firma non corrisponde al documento e al certificato"},
    {sotto::FormatFailure, "la firma non è nella forma prevista"},
    {sotto::Revoked, "il certificato era già revocato quando è stata apposta la firma"},
    {sotto::Expired, "il certificato era già scaduto quando è stata apposta la firma"},
    {sotto::NotYetValid, "il certificato non era ancora valido quando è stata apposta la firma"},
    {sotto::NoSigningCertificateFound,
     "il certificato del firmatario manca o non è quello firmato"},
    {sotto::CryptoConstraintsFailure, "l'algoritmo della firma non è supportato"},
    {sotto::RevokedNoPoe, "il certificato è stato revocato e nessuna marca temporale prova che la "
                          "firma sia anteriore alla revoca"},
    {sotto::RevokedCaNoPoe, "il certificato del certificatore è stato revocato"},
    {sotto::NoCertificateChainFound, "il certificatore non è tra quelli fidati"},
    {sotto::CertificateChainGeneralFailure, "la catena dei certificati non è valida"},
    {sotto::FutureTime, "la data della firma dichiarata è nel futuro"},
    {sotto::OutOfBoundsNoPoe, "il certificato è scaduto e nessuna marca temporale prova che la "
                              "firma sia anteriore alla scadenza"},
    {sotto::ChainConstraintsFailure, "il certificato non è adatto alla firma"},
    {sotto::CryptoConstraintsFailureNoPoe, "l'algoritmo o la chiave non sono più sicuri"},
    {sotto::TryLater, "lo stato di revoca del certificato non è stato verificato"},
};

std::size_t gravita(std::string_view sottoindicazione) {
    const auto voce = std::find_if(std::begin(kSottoindicazioni), std::end(kSottoindicazioni),
                                   [&](const Voce& v) { return v.chiave == sottoindicazione; });
    return static_cast<std::size_t>(voce - std::begin(kSottoindicazioni));
}

bool piuGrave(Indicazione a, std::string_view sa, Indicazione b, std::string_view sb) {
    if (a != b)
        return static_cast<int>(a) > static_cast<int>(b);
    return gravita(sa) < gravita(sb);
}

} // namespace

namespace {

// Each verdict's words and key, in the order of the enumeration.
struct ParoleEsito {
    const char* testo;
    const char* chiave;
};
constexpr ParoleEsito kEsiti[] = {
    {"Firma valida", "valida"},
    {"Firma integra, certificatore non verificato", "integra"},
    {"Firma non verificabile", "non_verificabile"},
    {"Certificato non ancora valido alla data della firma", "non_ancora_valida"},
    {"Certificato scaduto alla data della firma", "scaduta"},
    {"Certificato revocato", "revocata"},
    {"Firma non valida: documento modificato dopo la firma", "non_valida"},
    {"Nessuna firma", "assente"},
};
static_assert(std::size(kEsiti) == static_cast<std::size_t>(EsitoFirma::Assente) + 1);

} // namespace

const char* TestoEsito(EsitoFirma esito) {
    return kEsiti[static_cast<std::size_t>(esito)].testo;
}

const char* ChiaveEsito(EsitoFirma esito) {
    return kEsiti[static_cast<std::size_t>(esito)].chiave;
}

const char* ChiaveIndicazione(Indicazione indicazione) {
    switch (indicazione) {
    case Indicazione::TotalPassed:
        return "TOTAL_PASSED";
    case Indicazione::TotalFailed:
        return "TOTAL_FAILED";
    case Indicazione::Indeterminate:
        break;
    }
    return "INDETERMINATE";
}

EsitoFirma Peggiore(EsitoFirma a, EsitoFirma b) {
    if (a == EsitoFirma::Assente)
        return b;
    if (b == EsitoFirma::Assente)
        return a;
    return static_cast<int>(a) > static_cast<int>(b) ? a : b;
}

EsitoFirma EsitoDi(Indicazione indicazione, const std::string& s) {
    switch (indicazione) {
    case Indicazione::TotalPassed:
        return EsitoFirma::Valida;
    case Indicazione::TotalFailed:
        if (s == sotto::NotYetValid)
            return EsitoFirma::NonAncoraValida;
        if (s == sotto::Expired)
            return EsitoFirma::Scaduta;
        return EsitoFirma::NonValida;
    case Indicazione::Indeterminate:
        break;
    }
    if (s == sotto::RevokedNoPoe || s == sotto::RevokedCaNoPoe)
        return EsitoFirma::Revocata;
    if (s == sotto::NoSigningCertificateFound || s == sotto::CryptoConstraintsFailure)
        return EsitoFirma::NonVerificabile;
    return EsitoFirma::Integra;
}

void Segnala(Firmatario& f, Indicazione indicazione, const char* sottoindicazione,
             const std::string& motivo) {
    const bool primo = f.sottoindicazione.empty();
    const bool principale =
        primo || piuGrave(indicazione, sottoindicazione, f.indicazione, f.sottoindicazione);
    if (principale) {
        f.indicazione = indicazione;
        f.sottoindicazione = sottoindicazione;
    }
    if (motivo.empty() || std::find(f.motivi.begin(), f.motivi.end(), motivo) != f.motivi.end())
        return;
    if (principale)
        f.motivi.insert(f.motivi.begin(), motivo);
    else
        f.motivi.push_back(motivo);
}

void ConcludiFirmatario(Firmatario& f) {
    if (f.sottoindicazione.empty())
        f.indicazione = Indicazione::TotalPassed;
    f.esito = EsitoDi(f.indicazione, f.sottoindicazione);
    f.motivo.clear();
    for (const auto& m : f.motivi)
        f.motivo += (f.motivo.empty() ? "" : "; ") + m;
}

void AggiungiFirmatario(VerificaFirme& verifica, Firmatario firmatario) {
    const EsitoFirma prima = verifica.esito;
    verifica.esito = Peggiore(verifica.esito, firmatario.esito);
    if (!verifica.indicazione || verifica.esito != prima ||
        (prima == firmatario.esito && piuGrave(firmatario.indicazione, firmatario.sottoindicazione,
                                               *verifica.indicazione, verifica.sottoindicazione))) {
        verifica.indicazione = firmatario.indicazione;
        verifica.sottoindicazione = firmatario.sottoindicazione;
    }
    verifica.firmatari.push_back(std::move(firmatario));
}

std::string ParoleSottoindicazione(const std::string& s) {
    if (s.empty())
        return {};
    const std::size_t i = gravita(s);
    return i < std::size(kSottoindicazioni) ? kSottoindicazioni[i].parole : s;
}

std::string TestoVerdetto(const Firmatario& f) {
    const std::string& s = f.sottoindicazione;
    switch (f.esito) {
    case EsitoFirma::Integra:
        if (s == sotto::NoCertificateChainFound)
            break;
        if (s == sotto::OutOfBoundsNoPoe && f.dataProvata)
            return "Firma integra, certificato scaduto prima della data provata da marca "
                   "temporale";
        if (s == sotto::OutOfBoundsNoPoe)
            return "Firma integra, certificato scaduto: " +
                   (f.dataFirma
                        ? "firma dichiarata del " + DataItaliana(f.dataFirma->substr(0, 10)) +
                              ", non provata da marca temporale"
                        : std::string("data della firma non indicata né provata"));
        if (s == sotto::TryLater)
            return "Firma integra, revoca del certificato non verificata";
        if (s == sotto::FutureTime)
            return "Firma integra, data della firma nel futuro";
        if (s == sotto::ChainConstraintsFailure)
            return "Firma integra, certificato non adatto alla firma";
        if (s == sotto::CryptoConstraintsFailureNoPoe)
            return "Firma integra, algoritmo non più sicuro";
        if (s == sotto::CertificateChainGeneralFailure)
            return "Firma integra, catena dei certificati non valida";
        break;
    case EsitoFirma::NonVerificabile:
        if (s == sotto::CryptoConstraintsFailure)
            return "Firma non verificabile: algoritmo non supportato";
        if (s == sotto::NoSigningCertificateFound)
            return "Firma non verificabile: certificato del firmatario mancante";
        break;
    case EsitoFirma::Revocata:
        return s == sotto::RevokedCaNoPoe ? "Certificato del certificatore revocato"
                                          : "Certificato revocato, firma non provata anteriore "
                                            "alla revoca";
    case EsitoFirma::NonValida:
        if (s == sotto::Revoked)
            return "Firma non valida: certificato revocato prima della firma";
        if (s == sotto::FormatFailure)
            return "Firma non valida: " +
                   (f.motivi.empty() ? std::string("firma non leggibile") : f.motivi.front());
        break;
    default:
        break;
    }
    return TestoEsito(f.esito);
}

std::string TestoVerdetto(const VerificaFirme& verifica) {
    std::string testo = TestoEsito(verifica.esito);
    for (const auto& f : verifica.firmatari)
        if (f.esito == verifica.esito && f.sottoindicazione == verifica.sottoindicazione) {
            testo = TestoVerdetto(f);
            break;
        }
    if (verifica.contenutoNonFirmato)
        testo += " (contenuto non firmato presente, non mostrato)";
    return testo;
}

} // namespace ondivo
