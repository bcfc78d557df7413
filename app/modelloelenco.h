#pragma once

#include "elenco.h"

#include <QAbstractTableModel>
#include <QString>

#include <vector>

namespace ondivo {

// The rows of the list of many invoices, one column per field. Texts from the invoices are
// handed to the view as data, never as markup; amounts and dates are shown Italian-style.
class ModelloElenco : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Colonna {
        Tipo,
        Numero,
        Data,
        Fornitore,
        PartitaIva,
        Cliente,
        Imponibile,
        Iva,
        Totale,
        Divisa,
        Netto,
        Scadenza,
        Firma,
        StatoSdi,
        File,
        NumeroColonne
    };
    // What a column sorts by: amounts as numbers (a double; nothing when empty or not an
    // amount), dates as yyyy-mm-dd, the rest as shown.
    static constexpr int RuoloOrdinamento = Qt::UserRole + 1;
    // Of column 0: the texts of the whole row in small letters, for the filter.
    static constexpr int RuoloRicerca = Qt::UserRole + 2;

    using QAbstractTableModel::QAbstractTableModel;

    // Appends rows at the end; a document already listed is merged into its row.
    void aggiungi(std::vector<RigaElenco> righe);
    // Empties the list; the File column will show the files under `cartella` by the rest of
    // their names ("sotto/f.xml", "archivio.zip › f.xml"), the others whole.
    void svuota(const std::string& cartella = {});
    // Gives the invoices the SdI state of the messages among the rows (AbbinaMessaggiSdi).
    void abbinaMessaggiSdi();

    const std::vector<RigaElenco>& righe() const { return m_righe; }
    const RigaElenco& riga(int i) const { return m_righe[static_cast<std::size_t>(i)]; }

    int rowCount(const QModelIndex& genitore = {}) const override;
    int columnCount(const QModelIndex& genitore = {}) const override;
    QVariant data(const QModelIndex& indice, int ruolo = Qt::DisplayRole) const override;
    QVariant headerData(int sezione, Qt::Orientation orientamento,
                        int ruolo = Qt::DisplayRole) const override;

    // The text a cell shows.
    QString testo(const RigaElenco& riga, int colonna) const;

private:
    QString testoRicerca(const RigaElenco& riga) const;

    std::string m_cartella; // ends in "/"; empty for none
    std::vector<RigaElenco> m_righe;
    std::vector<QString> m_ricerca; // per row, see RuoloRicerca
    IndiceDocumenti m_documenti;
};

} // namespace ondivo
