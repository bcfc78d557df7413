#include "certificato.h"
#include "errors.h"
#include "text.h"
#include "verificadsig.h"
#include "verificafirma.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <set>

namespace ondivo {

namespace {

// The number written with exactly `cifre` digits at `inizio`; -1 when there is none.
int numero(std::string_view testo, std::size_t inizio, std::size_t cifre) {
    if (inizio + cifre > testo.size())
        return -1;
    int valore = 0;
    for (std::size_t i = inizio; i < inizio + cifre; ++i) {
        if (testo[i] < '0' || testo[i] > '9')
            return -1;
        valore = valore * 10 + (testo[i] - '0');
    }
    return valore;
}

// "YYYY-MM-DDThh:mm:ssZ" in UTC from an xs:dateTime as XAdES writes the signing time
// ("2024-03-10T01:30:00.25+02:00"); a time without a zone is taken as UTC. nullopt when the
// text is not such a time.
std::optional<std::string> oraUtc(std::string_view testo) {
    using namespace std::chrono;
    testo = Trim(testo);
    const int anno = numero(testo, 0, 4), mese = numero(testo, 5, 2), giorno = numero(testo, 8, 2);
    const int ore = numero(testo, 11, 2), minuti = numero(testo, 14, 2),
              secondi = numero(testo, 17, 2);
    if (testo.size() < 19 || testo[4] != '-' || testo[7] != '-' || testo[10] != 'T' ||
        testo[13] != ':' || testo[16] != ':' || anno < 0 || mese < 0 || giorno < 0 || ore < 0 ||
        minuti < 0 || secondi < 0 || ore > 23 || minuti > 59 || secondi > 59)
        return std::nullopt;
    const year_month_day data{year{anno}, month{static_cast<unsigned>(mese)},
                              day{static_cast<unsigned>(giorno)}};
    if (!data.ok())
        return std::nullopt;

    std::size_t i = 19;
    if (i < testo.size() && testo[i] == '.') {
        const std::size_t cifre = testo.find_first_not_of("0123456789", i + 1);
        if (cifre == i + 1)
            return std::nullopt;
        i = cifre == std::string_view::npos ? testo.size() : cifre;
    }
    minutes scarto{0}; // east of UTC
    if (i < testo.size() && testo[i] == 'Z') {
        ++i;
    } else if (i < testo.size() && (testo[i] == '+' || testo[i] == '-')) {
        const int oreZona = numero(testo, i + 1, 2), minutiZona = numero(testo, i + 4, 2);
        if (i + 6 > testo.size() || testo[i + 3] != ':' || oreZona < 0 || minutiZona < 0 ||
            oreZona > 14 || minutiZona > 59)
            return std::nullopt;
        scarto = minutes{(testo[i] == '-' ? -1 : 1) * (oreZona * 60 + minutiZona)};
        i += 6;
    }
    if (i != testo.size())
        return std::nullopt;

    const sys_seconds istante =
        sys_days{data} + hours{ore} + minutes{minuti} + seconds{secondi} - scarto;
    const sys_days giorni = floor<days>(istante);
    const year_month_day utc{giorni};
    const hh_mm_ss orario{istante - giorni};
    char uscita[32];
    std::snprintf(uscita, sizeof uscita, "%04d-%02u-%02uT%02d:%02d:%02dZ",
                  static_cast<int>(utc.year()), static_cast<unsigned>(utc.month()),
                  static_cast<unsigned>(utc.day()), static_cast<int>(orario.hours().count()),
                  static_cast<int>(orario.minutes().count()),
                  static_cast<int>(orario.seconds().count()));
    return std::string(uscita);
}

std::string valoreFirma(const xmlNode* firma) {
    std::string valore = TestoXml(FiglioXml(firma, "SignatureValue", NsFirmaXml));
    std::erase_if(valore, [](unsigned char c) { return std::isspace(c); });
    return valore;
}

} // namespace

VerificaFirme VerificaFirmeXml(std::string_view xml, const Fiducia& fiducia,
                               const OpzioniVerifica& opzioni) {
    std::string motivo;
    const XmlDocPtr documento = LeggiXmlInMemoria(xml, motivo);
    if (!documento)
        throw OndivoError("Impossibile leggere l'XML: " + motivo);

    // A copy of a signature verifies as the original does, wherever it stands, and its unsigned
    // parts could carry text into the invoice: a signature found twice is not taken at all.
    const std::vector<xmlNode*> firme = FirmeDelDocumento(documento.get());
    std::multiset<std::string> valori;
    for (xmlNode* firma : firme)
        valori.insert(valoreFirma(firma));

    VerificaFirme verifica;
    const xmlNode* radice = xmlDocGetRootElement(documento.get());
    for (xmlNode* firma : firme) {
        FirmaXmlVerificata esito = VerificaFirmaDsig(documento.get(), firma);
        if (valori.count(valoreFirma(firma)) > 1) {
            esito.integra = false;
            esito.motivo = "la stessa firma compare più volte nel documento";
            esito.sottoindicazione = sotto::FormatFailure;
        }
        // A signature belongs beside the invoice's data, not inside it: whatever it carries is
        // no part of the invoice, and none of the invoice's readers takes it as such.
        if (firma != radice && firma->parent != radice)
            verifica.contenutoNonFirmato = true;
        if (esito.integra && esito.oggettiNonFirmati)
            verifica.contenutoNonFirmato = true;

        Firmatario firmatario;
        firmatario.tipo = "XAdES";
        firmatario.livello = 1;
        firmatario.integra = esito.integra;
        if (esito.nidDigest != 0)
            firmatario.algoritmo = NomeAlgoritmo(esito.nidDigest);
        if (esito.oraFirma)
            firmatario.dataFirma = oraUtc(*esito.oraFirma);
        if (!esito.integra) {
            const char* s = esito.sottoindicazione ? esito.sottoindicazione : sotto::FormatFailure;
            const bool indeterminata = std::string_view(s) == sotto::NoSigningCertificateFound ||
                                       std::string_view(s) == sotto::CryptoConstraintsFailure;
            Segnala(firmatario,
                    indeterminata ? Indicazione::Indeterminate : Indicazione::TotalFailed, s,
                    esito.motivo);
        }
        if (esito.certificato) {
            CampiCertificato(esito.certificato.get(), firmatario);
            ProveFirma prove;
            prove.certificati = esito.altriCertificati.get();
            prove.revoche = esito.revoche.dati();
            prove.nidDigest = esito.nidDigest;
            prove.ora = opzioni.ora;
            ValutaFirmatario(esito.certificato.get(), prove, fiducia, firmatario);
        } else {
            ConcludiFirmatario(firmatario);
        }
        AggiungiFirmatario(verifica, std::move(firmatario));
    }
    return verifica;
}

} // namespace ondivo
