#include "datidocumento.h"
#include "calendario.h"
#include "text.h"

#include <algorithm>
#include <cstring>

namespace ondivo {

namespace {

__extension__ typedef __int128 Intero128;

bool chiamato(const xmlNode* nodo, const char* nome) {
    return nodo->type == XML_ELEMENT_NODE &&
           std::strcmp(reinterpret_cast<const char*>(nodo->name), nome) == 0;
}

// The element children of `padre` with that local name, in order.
std::vector<const xmlNode*> figli(const xmlNode* padre, const char* nome) {
    std::vector<const xmlNode*> trovati;
    for (const xmlNode* n = padre ? padre->children : nullptr; n; n = n->next)
        if (chiamato(n, nome))
            trovati.push_back(n);
    return trovati;
}

// The first element at the end of a path of local names, or nullptr.
const xmlNode* primo(const xmlNode* padre, std::initializer_list<const char*> percorso) {
    const xmlNode* nodo = padre;
    for (const char* nome : percorso) {
        const xmlNode* trovato = nullptr;
        for (const xmlNode* n = nodo ? nodo->children : nullptr; n && !trovato; n = n->next)
            if (chiamato(n, nome))
                trovato = n;
        nodo = trovato;
    }
    return nodo;
}

std::string testo(const xmlNode* nodo) {
    if (!nodo)
        return {};
    xmlChar* contenuto = xmlNodeGetContent(nodo);
    std::string valore(Trim(contenuto ? reinterpret_cast<const char*>(contenuto) : ""));
    xmlFree(contenuto);
    return valore;
}

std::string testo(const xmlNode* padre, std::initializer_list<const char*> percorso) {
    return testo(primo(padre, percorso));
}

// Denominazione, else "Nome Cognome", of an element that holds them.
std::string nomeDi(const xmlNode* anagrafica) {
    std::string nome = testo(anagrafica, {"Denominazione"});
    if (!nome.empty())
        return nome;
    const std::string proprio = testo(anagrafica, {"Nome"});
    const std::string cognome = testo(anagrafica, {"Cognome"});
    return proprio.empty() ? cognome : cognome.empty() ? proprio : proprio + " " + cognome;
}

std::string partitaIva(const xmlNode* id) {
    return id ? testo(id, {"IdPaese"}) + testo(id, {"IdCodice"}) : std::string();
}

// The sum, or nothing when there is nothing to add or an amount cannot be read: a document
// without summary lines has no amounts to show, not zero.
std::string somma(const std::vector<std::string>& importi) {
    return importi.empty() ? std::string() : SommaImporti(importi).value_or("");
}

} // namespace

namespace {

// Due date and payment amounts of the details of every DatiPagamento.
void datiPagamento(const xmlNode* corpo, DatiDocumento& d) {
    std::vector<std::string> importi;
    std::string calcolata;
    for (const xmlNode* p : figli(corpo, "DatiPagamento"))
        for (const xmlNode* dettaglio : figli(p, "DettaglioPagamento")) {
            const std::string scadenza = testo(dettaglio, {"DataScadenzaPagamento"});
            if (!scadenza.empty() && (d.scadenza.empty() || scadenza < d.scadenza))
                d.scadenza = scadenza;
            const std::string termine =
                DataPiuGiorni(testo(dettaglio, {"DataRiferimentoTerminiPagamento"}),
                              testo(dettaglio, {"GiorniTerminiPagamento"}));
            if (!termine.empty() && (calcolata.empty() || termine < calcolata))
                calcolata = termine;
            if (const std::string importo = testo(dettaglio, {"ImportoPagamento"});
                !importo.empty())
                importi.push_back(importo);
        }
    if (d.scadenza.empty() && !calcolata.empty()) {
        d.scadenza = calcolata;
        d.scadenzaCalcolata = true;
    }
    d.pagamento = somma(importi);
    if (importi.size() > 1 && !d.netto.empty() && ImportiDiversi(d.pagamento, d.netto) &&
        std::all_of(importi.begin(), importi.end(),
                    [&](const std::string& i) { return !ImportiDiversi(i, importi.front()); }))
        d.pagamento = somma({importi.front()});
}

void datiOrdinaria(const xmlNode* testata, const xmlNode* corpo, DatiDocumento& d) {
    const xmlNode* cedente = primo(testata, {"CedentePrestatore", "DatiAnagrafici"});
    d.fornitore = nomeDi(primo(cedente, {"Anagrafica"}));
    d.partitaIvaFornitore = partitaIva(primo(cedente, {"IdFiscaleIVA"}));
    d.cliente = nomeDi(primo(testata, {"CessionarioCommittente", "DatiAnagrafici", "Anagrafica"}));
    std::vector<std::string> imponibili, imposte, scisse;
    for (const xmlNode* r : figli(primo(corpo, {"DatiBeniServizi"}), "DatiRiepilogo")) {
        imponibili.push_back(testo(r, {"ImponibileImporto"}));
        imposte.push_back(testo(r, {"Imposta"}));
        if (testo(r, {"EsigibilitaIVA"}) == "S")
            scisse.push_back(testo(r, {"Imposta"}));
    }
    d.imponibile = somma(imponibili);
    d.imposta = somma(imposte);
    d.ivaScissa = somma(scisse);
    if (!d.imponibile.empty() && !d.imposta.empty()) {
        std::vector<std::string> parti{d.imponibile, d.imposta};
        if (!d.arrotondamento.empty())
            parti.push_back(d.arrotondamento);
        d.totaleCalcolato = somma(parti);
    }
}

void datiSemplificata(const xmlNode* testata, const xmlNode* corpo, DatiDocumento& d) {
    const xmlNode* cedente = primo(testata, {"CedentePrestatore"});
    d.fornitore = nomeDi(cedente);
    d.partitaIvaFornitore = partitaIva(primo(cedente, {"IdFiscaleIVA"}));
    d.cliente = nomeDi(primo(testata, {"CessionarioCommittente", "AltriDatiIdentificativi"}));
    // Each line's Importo includes its tax, so their sum is the document's total. The tax is
    // known where each line states it, or has a rate of zero; a rate alone leaves it to a
    // rounding the seller may have made otherwise, and then no tax (nor taxable amount) is
    // shown rather than a partial one.
    std::vector<std::string> importi, imposte;
    bool imposteNote = true;
    for (const xmlNode* b : figli(corpo, "DatiBeniServizi")) {
        importi.push_back(testo(b, {"Importo"}));
        const std::string imposta = testo(b, {"DatiIVA", "Imposta"});
        if (!imposta.empty())
            imposte.push_back(imposta);
        else if (const auto aliquota = SommaImporti({testo(b, {"DatiIVA", "Aliquota"})});
                 aliquota && aliquota->find_first_not_of("0.") == std::string::npos)
            imposte.push_back("0");
        else
            imposteNote = false;
    }
    const auto lordo = importi.empty() ? std::nullopt : SommaImporti(importi);
    d.totaleCalcolato = lordo.value_or("");
    if (imposteNote)
        d.imposta = somma(imposte);
    if (lordo && !d.imposta.empty() && d.imposta[0] != '-')
        d.imponibile = somma({*lordo, ImportoOpposto(d.imposta)});
}

} // namespace

bool NotaDiCredito(const DatiDocumento& dati) {
    return dati.tipoDocumento == "TD04" || dati.tipoDocumento == "TD08";
}

bool ImportiDiversi(const std::string& a, const std::string& b) {
    const std::string menoB = ImportoOpposto(b);
    const auto differenza = menoB.empty() ? std::nullopt : SommaImporti({a, menoB});
    if (!differenza)
        return false;
    const std::string assoluta = (*differenza)[0] == '-' ? differenza->substr(1) : *differenza;
    // More than a cent: "0.01" itself, "0.0100" and less are within.
    const auto oltre = SommaImporti({assoluta, "-0.01"});
    return oltre && (*oltre)[0] != '-' && oltre->find_first_not_of("0.") != std::string::npos;
}

std::string ImportoOpposto(const std::string& importo) {
    const std::string_view t = Trim(importo);
    if (t.empty())
        return {};
    std::string opposto;
    if (t[0] != '-')
        opposto.push_back('-');
    opposto.append(t[0] == '-' || t[0] == '+' ? t.substr(1) : t);
    // Through the sum so that zero has no sign and a text that is not an amount gives "".
    return SommaImporti({opposto}).value_or("");
}

std::string ImportoConSegno(const DatiDocumento& dati, const std::string& importo) {
    if (importo.empty())
        return {};
    return NotaDiCredito(dati) ? ImportoOpposto(importo) : importo;
}

DatiDocumento LeggiDatiDocumento(const xmlNode* corpo) {
    DatiDocumento d;
    const xmlNode* radice = corpo ? corpo->parent : nullptr;
    if (!radice || radice->type != XML_ELEMENT_NODE)
        return d;
    const bool ordinaria = !chiamato(radice, "FatturaElettronicaSemplificata");
    const xmlNode* testata = primo(radice, {"FatturaElettronicaHeader"});
    const xmlNode* generali = primo(corpo, {"DatiGenerali", "DatiGeneraliDocumento"});
    d.tipoDocumento = testo(generali, {"TipoDocumento"});
    d.numero = testo(generali, {"Numero"});
    d.data = testo(generali, {"Data"});
    d.divisa = testo(generali, {"Divisa"});
    d.arrotondamento = testo(generali, {"Arrotondamento"});
    if (ordinaria)
        datiOrdinaria(testata, corpo, d);
    else
        datiSemplificata(testata, corpo, d);
    d.totaleDichiarato = testo(generali, {"ImportoTotaleDocumento"});
    d.totale = !d.totaleDichiarato.empty() ? d.totaleDichiarato : d.totaleCalcolato;
    std::vector<std::string> ritenute;
    for (const xmlNode* r : figli(generali, "DatiRitenuta"))
        if (const std::string importo = testo(r, {"ImportoRitenuta"}); !importo.empty())
            ritenute.push_back(importo);
    d.ritenute = somma(ritenute);
    if (!d.totale.empty()) {
        std::vector<std::string> parti{d.totale};
        for (const std::string* meno : {&d.ritenute, &d.ivaScissa})
            if (!meno->empty())
                parti.push_back(ImportoOpposto(*meno));
        d.netto = somma(parti);
    }
    datiPagamento(corpo, d);
    return d;
}

std::vector<DatiDocumento> LeggiDatiDocumenti(xmlDoc* fattura) {
    std::vector<DatiDocumento> documenti;
    const xmlNode* radice = fattura ? xmlDocGetRootElement(fattura) : nullptr;
    if (!radice)
        return documenti;
    if (!chiamato(radice, "FatturaElettronica") &&
        !chiamato(radice, "FatturaElettronicaSemplificata"))
        return documenti;
    for (const xmlNode* corpo : figli(radice, "FatturaElettronicaBody"))
        documenti.push_back(LeggiDatiDocumento(corpo));
    return documenti;
}

std::optional<std::string> SommaImporti(const std::vector<std::string>& importi) {
    // Amounts have at most 15 digits before the point and 8 after: the sum fits 128 bits.
    constexpr std::size_t kDecimaliMassimi = 8;
    std::size_t decimali = 2;
    struct Letto {
        bool negativo;
        std::string cifre; // integer digits
        std::string frazione;
    };
    std::vector<Letto> letti;
    for (const auto& importo : importi) {
        std::string_view t = Trim(importo);
        Letto l{false, {}, {}};
        if (!t.empty() && (t[0] == '-' || t[0] == '+')) {
            l.negativo = t[0] == '-';
            t.remove_prefix(1);
        }
        const auto punto = t.find('.');
        l.cifre = std::string(t.substr(0, punto));
        if (punto != std::string_view::npos)
            l.frazione = std::string(t.substr(punto + 1));
        const auto soloCifre = [](const std::string& s) {
            return s.find_first_not_of("0123456789") == std::string::npos;
        };
        if (l.cifre.empty() || l.cifre.size() > 18 || !soloCifre(l.cifre) ||
            l.frazione.size() > kDecimaliMassimi || !soloCifre(l.frazione) ||
            (punto != std::string_view::npos && l.frazione.empty()))
            return std::nullopt;
        decimali = std::max(decimali, l.frazione.size());
        letti.push_back(std::move(l));
    }
    Intero128 totale = 0;
    for (const auto& l : letti) {
        Intero128 valore = 0;
        for (char c : l.cifre)
            valore = valore * 10 + (c - '0');
        for (std::size_t i = 0; i < decimali; ++i)
            valore = valore * 10 + (i < l.frazione.size() ? l.frazione[i] - '0' : 0);
        totale += l.negativo ? -valore : valore;
    }
    const bool negativo = totale < 0;
    if (negativo)
        totale = -totale;
    std::string cifre; // least significant first
    do {
        cifre.push_back(static_cast<char>('0' + static_cast<int>(totale % 10)));
        totale /= 10;
    } while (totale > 0);
    while (cifre.size() <= decimali)
        cifre.push_back('0');
    std::reverse(cifre.begin(), cifre.end());
    const std::size_t intere = cifre.size() - decimali;
    std::string somma;
    if (negativo)
        somma.push_back('-');
    somma.append(cifre, 0, intere).append(1, '.').append(cifre, intere, std::string::npos);
    return somma;
}

} // namespace ondivo
