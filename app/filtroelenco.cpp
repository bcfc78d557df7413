#include "filtroelenco.h"

#include "modelloelenco.h"

namespace ondivo {

FiltroElenco::FiltroElenco(QObject* genitore)
    : QSortFilterProxyModel(genitore), m_collatore(QLocale(QLocale::Italian, QLocale::Italy)) {
    m_collatore.setNumericMode(true);
    m_collatore.setCaseSensitivity(Qt::CaseInsensitive);
    setSortRole(ModelloElenco::RuoloOrdinamento);
    // Rows read later take their place in the order chosen and pass the filter as they come.
    setDynamicSortFilter(true);
}

void FiltroElenco::impostaTesto(const QString& testo) {
    const QStringList parole = testo.toCaseFolded().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parole == m_parole)
        return;
    m_parole = parole;
    invalidateFilter();
}

bool FiltroElenco::filterAcceptsRow(int riga, const QModelIndex& genitore) const {
    if (m_parole.isEmpty())
        return true;
    const QString testo =
        sourceModel()->index(riga, 0, genitore).data(ModelloElenco::RuoloRicerca).toString();
    for (const QString& parola : m_parole)
        if (!testo.contains(parola))
            return false;
    return true;
}

bool FiltroElenco::lessThan(const QModelIndex& sinistra, const QModelIndex& destra) const {
    const QVariant a = sinistra.data(sortRole());
    const QVariant b = destra.data(sortRole());
    // Amounts: numbers; a cell without one comes first.
    if (a.typeId() == QMetaType::Double || b.typeId() == QMetaType::Double) {
        if (!a.isValid() || !b.isValid())
            return !a.isValid() && b.isValid();
        return a.toDouble() < b.toDouble();
    }
    return m_collatore.compare(a.toString(), b.toString()) < 0;
}

} // namespace ondivo
