#include "consigliofirme.h"

namespace ondivo {

namespace {

// The signer the verdict is about: the first whose verdict is the file's.
const Firmatario* firmatarioDelVerdetto(const VerificaFirme& firme) {
    for (const Firmatario& f : firme.firmatari)
        if (f.esito == firme.esito)
            return &f;
    return firme.firmatari.empty() ? nullptr : &firme.firmatari.front();
}

QString testo(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

} // namespace

ConsiglioFirme ConsiglioPerFirme(const StatoFirme& stato, bool elencoPresente) {
    using Azione = ConsiglioFirme::Azione;
    if (stato.fase != StatoFirme::Fase::Conclusa ||
        (stato.firme.esito != EsitoFirma::Integra &&
         stato.firme.esito != EsitoFirma::NonVerificabile))
        return {};
    const Firmatario* f = firmatarioDelVerdetto(stato.firme);
    if (!f)
        return {};
    const QString integra = f->integra ? QStringLiteral("La firma è integra (il documento non è "
                                                        "cambiato dopo la firma), ma ")
                                       : QStringLiteral("La firma non si è potuta verificare "
                                                        "del tutto: ");
    const std::string& motivoBreve = f->sottoindicazione;
    // The authority unknown: the chain ends at no certificate of the list kept, or there is
    // no list at all.
    const bool autoritaIgnota =
        !f->attendibile && (motivoBreve == sotto::NoCertificateChainFound ||
                            motivoBreve == sotto::CertificateChainGeneralFailure);
    if (autoritaIgnota && !elencoPresente)
        return {integra + QStringLiteral("non si può dire chi ha rilasciato il certificato, perché "
                                         "Ondivo non ha ancora l'elenco ufficiale dei "
                                         "certificatori: scaricarlo una volta basta per tutte le "
                                         "fatture."),
                Azione::ScaricaElenco, QStringLiteral("Scarica l'elenco dei certificatori")};
    if (autoritaIgnota)
        return {integra + QStringLiteral("il certificatore \"%1\" non è nell'elenco di fiducia in "
                                         "uso: se l'elenco non è recente, aggiornarlo; se non vi "
                                         "compare neanche dopo, la firma non è qualificata.")
                              .arg(testo(f->emittente)),
                Azione::AggiornaElenco, QStringLiteral("Aggiorna l'elenco dei certificatori")};
    if (motivoBreve == sotto::TryLater)
        return {integra + QStringLiteral("non si è potuto sapere se il certificato del firmatario "
                                         "era stato revocato: lo si può chiedere in rete al "
                                         "certificatore."),
                Azione::RevocheInRete, QStringLiteral("Verifica la revoca in rete")};
    QString motivo = testo(f->motivo);
    while (motivo.endsWith(QLatin1Char('.')))
        motivo.chop(1);
    if (!motivo.isEmpty())
        return {integra + QStringLiteral("non si può dire valida: %1.").arg(motivo),
                Azione::Nessuna,
                {}};
    return {};
}

} // namespace ondivo
