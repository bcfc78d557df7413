#include "modelloelenco.h"

#include "csvelenco.h"
#include "documentoaperto.h"
#include "esploratore.h"
#include "lctv.h"

#include <QApplication>
#include <QBrush>
#include <QColor>
#include <QStyle>
#include <QTextDocument>

namespace ondivo {

namespace {

QString qs(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

bool importo(int colonna) {
    return colonna == ModelloElenco::Imponibile || colonna == ModelloElenco::Iva ||
           colonna == ModelloElenco::Totale || colonna == ModelloElenco::Netto;
}

// An amount with the sign the list sums it with: credit notes negative.
std::string valoreImporto(const RigaElenco& riga, int colonna) {
    const DatiDocumento& d = riga.dati;
    return ImportoConSegno(d, colonna == ModelloElenco::Imponibile ? d.imponibile
                              : colonna == ModelloElenco::Iva      ? d.imposta
                              : colonna == ModelloElenco::Netto    ? d.netto
                                                                   : d.totale);
}

// Tooltips take markup when a text looks like it: invoice texts are escaped and shown as they
// are.
QString suggerimento(const QString& testo) {
    return testo.isEmpty() ? QString() : Qt::convertFromPlainText(testo, Qt::WhiteSpaceNormal);
}

// The other places the same document was found in, for the File column's tooltip.
std::string anche(const RigaElenco& r) {
    std::string testo;
    for (const auto& p : r.altriPosti)
        testo += "\n" + p.file;
    return testo.empty() ? testo : "\nLo stesso documento anche in:" + testo;
}

// What the SdI column's tooltip says: an invoice's messages, oldest first, with what each
// made of it; why a message changed nothing.
std::string spiegaStatoSdi(const RigaElenco& r) {
    if (r.statoSdi == RicevutaNonVerificata)
        return "La firma di questo messaggio non \xC3\xA8 integra: non cambia lo stato della "
               "fattura.";
    if (r.statoSdi == AbbinamentoAmbiguo)
        return "Il messaggio pu\xC3\xB2 riferirsi a pi\xC3\xB9 file con lo stesso nome: non "
               "cambia lo stato di nessuno.";
    std::string testo;
    for (const EventoSdi& e : r.storiaSdi) {
        if (!testo.empty())
            testo += '\n';
        const std::string quando =
            e.dataOra.empty() ? std::string("senza data")
                              : DataItaliana(e.dataOra.substr(0, 10)) + e.dataOra.substr(10, 6);
        testo += quando + "  " + e.codice + (e.esito.empty() ? "" : " " + e.esito) + "  " +
                 UltimoNome(e.file);
        if (!e.nota.empty())
            testo += " (" + e.nota + ")";
    }
    return testo;
}

} // namespace

QString ModelloElenco::testoRicerca(const RigaElenco& riga) const {
    QString testo;
    for (int c = 0; c < NumeroColonne; ++c)
        testo += this->testo(riga, c) + QLatin1Char('\n');
    // The amounts also as typed without the groups of thousands the cells show.
    for (const int c : {Imponibile, Iva, Totale, Netto})
        testo += qs(ImportoItaliano(valoreImporto(riga, c))) + QLatin1Char('\n');
    testo += qs(riga.errore);
    return testo.toCaseFolded();
}

void ModelloElenco::aggiungi(std::vector<RigaElenco> righe) {
    // A document already listed is merged into its row (UnisciDoppione), whichever batch it
    // comes in.
    std::vector<RigaElenco> nuove;
    for (auto& r : righe) {
        const auto posto = m_documenti.trova(r, m_righe.size() + nuove.size());
        if (!posto) {
            nuove.push_back(std::move(r));
        } else if (*posto >= m_righe.size()) {
            UnisciDoppione(nuove[*posto - m_righe.size()], std::move(r));
        } else {
            UnisciDoppione(m_righe[*posto], std::move(r));
            m_ricerca[*posto] = testoRicerca(m_righe[*posto]);
            const int n = static_cast<int>(*posto);
            emit dataChanged(index(n, 0), index(n, columnCount() - 1));
        }
    }
    if (nuove.empty())
        return;
    const int primo = static_cast<int>(m_righe.size());
    beginInsertRows({}, primo, primo + static_cast<int>(nuove.size()) - 1);
    for (auto& r : nuove) {
        m_ricerca.push_back(testoRicerca(r));
        m_righe.push_back(std::move(r));
    }
    endInsertRows();
}

void ModelloElenco::svuota(const std::string& cartella) {
    beginResetModel();
    m_cartella = cartella;
    if (!m_cartella.empty() && m_cartella.back() != '/')
        m_cartella += '/';
    m_righe.clear();
    m_ricerca.clear();
    m_documenti.svuota();
    endResetModel();
}

void ModelloElenco::abbinaMessaggiSdi() {
    if (m_righe.empty())
        return;
    AbbinaMessaggiSdi(m_righe);
    for (std::size_t i = 0; i < m_righe.size(); ++i)
        m_ricerca[i] = testoRicerca(m_righe[i]);
    emit dataChanged(index(0, StatoSdi), index(rowCount() - 1, StatoSdi));
}

int ModelloElenco::rowCount(const QModelIndex& genitore) const {
    return genitore.isValid() ? 0 : static_cast<int>(m_righe.size());
}

int ModelloElenco::columnCount(const QModelIndex& genitore) const {
    return genitore.isValid() ? 0 : NumeroColonne;
}

QString ModelloElenco::testo(const RigaElenco& r, int colonna) const {
    const DatiDocumento& d = r.dati;
    const std::string file = !m_cartella.empty() && r.file.starts_with(m_cartella)
                                 ? r.file.substr(m_cartella.size())
                                 : r.file;
    if (!r.errore.empty()) {
        // A file not read: a warning sign under Tipo, and its reason where the supplier
        // stands, so it is seen at once.
        switch (colonna) {
        case Numero:
            return QStringLiteral("non letto");
        case Fornitore:
            return qs(r.errore);
        case Firma:
            return qs(ParolaFirma(r));
        case File:
            return qs(file);
        default:
            return {};
        }
    }
    switch (colonna) {
    case Tipo:
        return qs(d.tipoDocumento);
    case Numero:
        return qs(d.numero);
    case Data:
        return qs(DataItaliana(d.data));
    case Fornitore:
        return qs(d.fornitore);
    case PartitaIva:
        return qs(d.partitaIvaFornitore);
    case Cliente:
        return qs(d.cliente);
    case Imponibile:
    case Iva:
    case Totale:
    case Netto:
        return qs(ImportoItaliano(valoreImporto(r, colonna), true));
    case Divisa:
        return qs(d.divisa);
    case Scadenza:
        return qs(DataItaliana(d.scadenza) + (d.scadenzaCalcolata ? " (calcolata)" : ""));
    case Firma:
        return qs(ParolaFirma(r));
    case StatoSdi:
        return qs(r.statoSdi);
    case File:
        return qs(file) + (r.documento > 1 ? QStringLiteral(" (%1)").arg(r.documento) : QString());
    default:
        return {};
    }
}

QVariant ModelloElenco::data(const QModelIndex& indice, int ruolo) const {
    if (!indice.isValid() || indice.row() >= rowCount())
        return {};
    const RigaElenco& r = riga(indice.row());
    const int colonna = indice.column();
    const bool errore = !r.errore.empty();
    switch (ruolo) {
    case Qt::DisplayRole:
        return testo(r, colonna);
    case RuoloOrdinamento:
        if (importo(colonna)) {
            bool numero = false;
            const double valore =
                QByteArray::fromStdString(valoreImporto(r, colonna)).toDouble(&numero);
            return numero && !errore ? QVariant(valore) : QVariant();
        }
        if (colonna == Data || colonna == Scadenza)
            return qs(colonna == Data ? r.dati.data : r.dati.scadenza);
        return testo(r, colonna);
    case RuoloRicerca:
        return m_ricerca[static_cast<std::size_t>(indice.row())];
    case Qt::TextAlignmentRole:
        if (importo(colonna))
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::ForegroundRole:
        if (errore)
            return QBrush(QColor(0xa0, 0x10, 0x10));
        return {};
    case Qt::DecorationRole:
        if (errore && colonna == Tipo)
            return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
        return {};
    case Qt::ToolTipRole:
        if (errore)
            return suggerimento(qs(r.file + ": " + r.errore));
        if (colonna == Tipo && r.formato == FormatoMessaggiSdI)
            return QStringLiteral("Messaggio del Sistema di Interscambio");
        if (colonna == Tipo)
            return suggerimento(qs(DescrTipoDoc(r.dati.tipoDocumento)));
        if (colonna == File)
            return suggerimento(qs(r.file + anche(r)));
        if (colonna == Fornitore || colonna == Cliente)
            return suggerimento(testo(r, colonna));
        if (colonna == StatoSdi)
            return suggerimento(qs(spiegaStatoSdi(r)));
        return {};
    default:
        return {};
    }
}

QVariant ModelloElenco::headerData(int sezione, Qt::Orientation orientamento, int ruolo) const {
    if (orientamento != Qt::Horizontal)
        return {};
    static const char* const titoli[NumeroColonne] = {
        "Tipo",   "Numero", "Data",  "Fornitore", "Partita IVA", "Cliente",   "Imponibile", "IVA",
        "Totale", "Divisa", "Netto", "Scadenza",  "Firma",       "Stato SdI", "File"};
    if (ruolo == Qt::DisplayRole && sezione >= 0 && sezione < NumeroColonne)
        return QString::fromUtf8(titoli[sezione]);
    if (ruolo == Qt::TextAlignmentRole && importo(sezione))
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

} // namespace ondivo
