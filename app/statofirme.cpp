#include "statofirme.h"

#include <QDateTime>

namespace ondivo {

QString TestoStato(const StatoFirme& stato) {
    switch (stato.fase) {
    case StatoFirme::Fase::Nessuna:
        break;
    case StatoFirme::Fase::InCorso:
        return QStringLiteral("Verifica della firma…");
    case StatoFirme::Fase::Conclusa:
        return QString::fromStdString(TestoVerdetto(stato.firme));
    case StatoFirme::Fase::Fallita:
        return QString::fromStdString(stato.errore);
    }
    return {};
}

QString RigaFirmatari(const VerificaFirme& firme) {
    if (firme.firmatari.empty())
        return {};
    const Firmatario& primo = firme.firmatari.front();
    QString riga = QString::fromStdString(!primo.nome.empty() ? primo.nome : primo.soggetto);
    if (primo.dataFirma)
        riga += QStringLiteral(", ") + DataItaliana(*primo.dataFirma);
    if (firme.firmatari.size() > 1)
        riga += QStringLiteral(" e altri %1").arg(firme.firmatari.size() - 1);
    return riga;
}

QString DataItaliana(const std::string& iso, bool conOra) {
    const QString testo = QString::fromStdString(iso);
    if (testo.size() == 10) {
        const QDate giorno = QDate::fromString(testo, Qt::ISODate);
        return giorno.isValid() ? giorno.toString(QStringLiteral("dd/MM/yyyy")) : testo;
    }
    QDateTime momento = QDateTime::fromString(testo, Qt::ISODate);
    if (!momento.isValid())
        return testo;
    // A time with its zone is shown in the user's; one without is taken as written.
    if (momento.timeSpec() != Qt::LocalTime)
        momento = momento.toLocalTime();
    return momento.toString(conOra ? QStringLiteral("dd/MM/yyyy hh:mm:ss")
                                   : QStringLiteral("dd/MM/yyyy"));
}

} // namespace ondivo
