#pragma once

#include <QCollator>
#include <QSortFilterProxyModel>
#include <QStringList>

namespace ondivo {

// The rows of a ModelloElenco the filter lets through, in the order of the column chosen:
// amounts as numbers, dates by time, texts as a person reads them ("FT 9" before "FT 10").
class FiltroElenco : public QSortFilterProxyModel {
    Q_OBJECT

public:
    explicit FiltroElenco(QObject* genitore = nullptr);

    // Shows the rows that hold every word of `testo` somewhere (case and blanks aside); an
    // empty text shows them all.
    void impostaTesto(const QString& testo);

protected:
    bool filterAcceptsRow(int riga, const QModelIndex& genitore) const override;
    bool lessThan(const QModelIndex& sinistra, const QModelIndex& destra) const override;

private:
    QStringList m_parole;
    QCollator m_collatore;
};

} // namespace ondivo
