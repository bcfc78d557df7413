#include "elencofiducia.h"

#include "statofirme.h"

#include <QStringList>

namespace ondivo {

ElencoFiducia AccettaElencoFiducia(const std::string& xml) {
    ElencoFiducia elenco = LeggiElencoFiducia(xml);
    SalvaElencoFiducia(elenco);
    return elenco;
}

QString SintesiElenco(const ElencoFiducia& elenco, std::size_t certificatori) {
    QString testo = certificatori == 1 ? QStringLiteral("1 certificatore")
                                       : QStringLiteral("%1 certificatori").arg(certificatori);
    QStringList dettagli;
    if (!elenco.territorio.empty())
        dettagli << QString::fromStdString(elenco.territorio);
    if (!elenco.dataEmissione.empty())
        dettagli << QStringLiteral("emesso il ") + DataItaliana(elenco.dataEmissione);
    if (!dettagli.isEmpty())
        testo += QStringLiteral(" (") + dettagli.join(QStringLiteral(", ")) + QLatin1Char(')');
    return testo;
}

QString RigaElencoSalvato(const ElencoFiducia& salvato, std::size_t certificatori) {
    if (salvato.territorio.empty() && certificatori == 0)
        return QStringLiteral("Nessun elenco di fiducia importato");
    return QStringLiteral("Elenco di fiducia in uso: ") + SintesiElenco(salvato, certificatori);
}

} // namespace ondivo
