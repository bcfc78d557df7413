#include "elenco.h"
#include "ansicodec.h"
#include "documentoaperto.h"
#include "envelopepath.h"
#include "impronta.h"
#include "stylesheetchoice.h"
#include "text.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace ondivo {

namespace {

RigaElenco nonLetta(const FileTrovato& file, std::string errore) {
    RigaElenco riga;
    riga.file = file.nome;
    riga.errore = std::move(errore);
    return riga;
}

// A message of several lines on one.
std::string suUnaRiga(const std::vector<std::string>& messaggi) {
    std::string testo;
    for (const auto& m : messaggi) {
        for (char c : m)
            testo += (c == '\n' || c == '\r') ? ' ' : c;
        testo += testo.empty() ? "" : " ";
    }
    while (!testo.empty() && testo.back() == ' ')
        testo.pop_back();
    return testo;
}

// The name of a file without its folders, in lower case, without ".p7m": how SdI messages
// name an invoice's file, whatever the case or envelope it was saved in.
std::string chiaveFile(const std::string& nome) {
    std::string ultimo = MinuscoleAscii(UltimoNome(nome));
    if (ultimo.size() > 4 && IsEnvelope(ultimo))
        ultimo.resize(ultimo.size() - 4);
    return ultimo;
}

// A row of an invoice's document: neither a message nor an entry that could not be read.
bool documentoFattura(const RigaElenco& r) {
    return r.formato != FormatoMessaggiSdI && r.documento > 0 && r.errore.empty();
}

} // namespace

std::vector<RigaElenco> LeggiRigheFile(const FileTrovato& file, const Fiducia& fiducia,
                                       const std::atomic<bool>* annulla) {
    if (!file.errore.empty())
        return {nonLetta(file, file.errore)};
    DocumentoAperto aperto;
    try {
        aperto = ApriDocumento(file.contenuto ? file.nome : file.percorso, FoglioStilePredefinito(),
                               {.pagina = false,
                                .allegati = false,
                                .intestazione = false,
                                .datiDocumenti = true,
                                .fiducia = &fiducia,
                                .estraiAccanto = false},
                               annulla, file.contenuto);
    } catch (const std::exception& e) {
        return {nonLetta(file, e.what())};
    }
    if (aperto.annullato)
        return {};
    if (!aperto.gestito)
        return {nonLetta(file, suUnaRiga(aperto.messaggi))};
    std::optional<EsitoFirma> firma;
    if (aperto.firme)
        firma = aperto.firme->esito;
    std::vector<RigaElenco> righe;
    if (aperto.messaggioSdI) {
        const MessaggioSdI& m = *aperto.messaggioSdI;
        RigaElenco riga;
        riga.file = file.nome;
        riga.percorso = file.percorso;
        riga.documento = 1;
        riga.formato = FormatoMessaggiSdI;
        riga.dati.tipoDocumento = m.codice;
        riga.dati.numero = m.identificativoSdI;
        riga.dati.data = m.data;
        riga.firma = firma;
        riga.statoSdi = m.statoFattura;
        riga.identificativoSdi = m.identificativoSdI;
        riga.nomeFileSdi = m.nomeFile;
        riga.messaggio = std::make_shared<const MessaggioSdI>(m);
        riga.improntaContenuto = aperto.impronta;
        righe.push_back(std::move(riga));
        return righe;
    }
    // The bytes read go with the reading: their hash is worked out now, for the messages that
    // may name the file by it; a plain XML file is its own content.
    const std::string impronta = aperto.dati == aperto.xml ? aperto.impronta
                                 : aperto.dati             ? ImprontaSha256(*aperto.dati)
                                                           : std::string();
    for (std::size_t i = 0; i < aperto.documenti.size(); ++i) {
        RigaElenco riga;
        riga.impronta = impronta;
        riga.improntaContenuto = aperto.impronta;
        riga.file = file.nome;
        riga.percorso = file.percorso;
        riga.documento = static_cast<int>(i + 1);
        riga.formato = AnsiToUtf8(aperto.formato);
        riga.dati = std::move(aperto.documenti[i]);
        riga.firma = firma;
        righe.push_back(std::move(riga));
    }
    if (righe.empty()) {
        RigaElenco riga = nonLetta(file, "il file non contiene documenti");
        riga.percorso = file.percorso;
        riga.formato = AnsiToUtf8(aperto.formato);
        riga.firma = firma;
        righe.push_back(std::move(riga));
    }
    return righe;
}

std::vector<RigaElenco> LeggiRighe(Esploratore& esploratore,
                                   const std::vector<std::string>& percorsi, const Fiducia& fiducia,
                                   const std::function<void(std::size_t, std::size_t)>& letti,
                                   const std::atomic<bool>* annulla) {
    // Deques: what was found keeps its place while more is added behind it.
    std::deque<FileTrovato> trovati;
    std::deque<std::vector<RigaElenco>> perFile;
    std::size_t prossimo = 0;
    bool finito = false;
    std::exception_ptr errore;
    std::mutex mutex;
    std::condition_variable cambiato;
    // Entries of an archive kept in memory wait for a reader: the explorer pauses while those
    // waiting hold more than this, however fast it finds them.
    constexpr std::size_t kMassimoInAttesa = 32u << 20;
    std::size_t inAttesa = 0;
    std::condition_variable liberato;
    const auto peso = [](const FileTrovato& f) { return f.contenuto ? f.contenuto->size() : 0; };

    std::jthread esplorazione([&] {
        try {
            esploratore.esplora(
                percorsi,
                [&](FileTrovato f) {
                    {
                        std::unique_lock lock(mutex);
                        // Waits for the readers, which give up at once when the work is cancelled.
                        liberato.wait(lock, [&] {
                            return inAttesa == 0 || inAttesa + peso(f) <= kMassimoInAttesa ||
                                   (annulla && annulla->load());
                        });
                        inAttesa += peso(f);
                        trovati.push_back(std::move(f));
                        perFile.emplace_back();
                    }
                    cambiato.notify_one();
                },
                annulla);
        } catch (...) {
            errore = std::current_exception();
        }
        {
            const std::lock_guard lock(mutex);
            finito = true;
        }
        cambiato.notify_all();
    });

    std::atomic<std::size_t> fatti{0};
    const auto lavora = [&](bool riferisci) {
        for (;;) {
            std::unique_lock lock(mutex);
            cambiato.wait(lock, [&] { return prossimo < trovati.size() || finito; });
            if (prossimo == trovati.size())
                return;
            const std::size_t i = prossimo++;
            // Taken out: the bytes of an entry in memory go with the reading.
            const FileTrovato file = std::move(trovati[i]);
            inAttesa -= peso(file);
            std::vector<RigaElenco>& righe = perFile[i];
            const std::size_t visti = trovati.size();
            lock.unlock();
            liberato.notify_one();
            if (annulla && annulla->load())
                continue; // what is left is dropped, its bytes with it
            righe = LeggiRigheFile(file, fiducia, annulla);
            const std::size_t n = fatti.fetch_add(1) + 1;
            if (riferisci && letti)
                letti(n, visti);
        }
    };
    std::vector<std::jthread> aiuti;
    for (unsigned t = 1; t < std::max(1u, std::thread::hardware_concurrency()); ++t)
        aiuti.emplace_back(lavora, false);
    lavora(true);
    aiuti.clear(); // joins
    esplorazione.join();
    if (errore)
        std::rethrow_exception(errore);
    if (letti)
        letti(trovati.size(), trovati.size());
    std::vector<RigaElenco> righe;
    for (auto& gruppo : perFile)
        for (auto& r : gruppo)
            righe.push_back(std::move(r));
    UnisciDoppioni(righe);
    return righe;
}

std::string ChiaveDocumento(const RigaElenco& riga) {
    if (riga.improntaContenuto.empty() || riga.documento <= 0 || !riga.errore.empty())
        return {};
    return riga.improntaContenuto + "#" + std::to_string(riga.documento);
}

void UnisciDoppione(RigaElenco& riga, RigaElenco doppione) {
    const auto firmata = [](const RigaElenco& r) {
        return r.firma && *r.firma != EsitoFirma::Assente;
    };
    if (firmata(doppione) && !firmata(riga))
        std::swap(riga, doppione);
    // The row kept lists every other place, those the other had noted included.
    riga.altriPosti.push_back({doppione.file, doppione.impronta});
    for (auto& p : doppione.altriPosti)
        riga.altriPosti.push_back(std::move(p));
    // A path given twice is one place.
    std::set<std::string> visti = {riga.file};
    std::erase_if(riga.altriPosti,
                  [&](const AltroPosto& p) { return !visti.insert(p.file).second; });
}

std::optional<std::size_t> IndiceDocumenti::trova(const RigaElenco& riga, std::size_t posto) {
    const std::string chiave = ChiaveDocumento(riga);
    if (chiave.empty())
        return std::nullopt;
    const auto [it, nuova] = m_posti.emplace(chiave, posto);
    return nuova ? std::nullopt : std::optional<std::size_t>(it->second);
}

void UnisciDoppioni(std::vector<RigaElenco>& righe) {
    IndiceDocumenti indice;
    std::vector<RigaElenco> uniche;
    uniche.reserve(righe.size());
    for (auto& r : righe) {
        if (const auto posto = indice.trova(r, uniche.size()))
            UnisciDoppione(uniche[*posto], std::move(r));
        else
            uniche.push_back(std::move(r));
    }
    righe = std::move(uniche);
}

void AbbinaMessaggiSdi(std::vector<RigaElenco>& righe) {
    const auto eMessaggio = [](const RigaElenco& r) {
        return r.formato == FormatoMessaggiSdI && r.messaggio && r.errore.empty();
    };
    // The file (name and hash) each IdentificativoSdI stands for, from the metadata files and
    // the verified messages that name both; an identifier given to two files stands for none.
    struct Legame {
        std::string chiave;
        std::string hash;
        bool conteso = false;
    };
    std::map<std::string, Legame> legami;
    const auto verificata = [](const RigaElenco& r) {
        return r.firma && (*r.firma == EsitoFirma::Valida || *r.firma == EsitoFirma::Integra);
    };
    for (const auto& r : righe) {
        if (!eMessaggio(r) || r.identificativoSdi.empty() || r.nomeFileSdi.empty())
            continue;
        if (r.messaggio->codice != "MT" && !verificata(r))
            continue;
        const Legame nuovo{chiaveFile(r.nomeFileSdi), r.messaggio->hash};
        const auto [it, inserito] = legami.emplace(r.identificativoSdi, nuovo);
        if (!inserito &&
            (it->second.chiave != nuovo.chiave ||
             (!nuovo.hash.empty() && !it->second.hash.empty() && nuovo.hash != it->second.hash)))
            it->second.conteso = true;
        else if (!inserito && it->second.hash.empty())
            it->second.hash = nuovo.hash;
    }

    // The invoice files by the key messages name them with.
    std::map<std::string, std::vector<std::size_t>> fatture;
    for (std::size_t i = 0; i < righe.size(); ++i) {
        auto& r = righe[i];
        if (!documentoFattura(r))
            continue;
        r.storiaSdi.clear();
        r.statoSdi.clear();
        // Every name the document was found under: a message names the file it was sent as.
        fatture[chiaveFile(r.file)].push_back(i);
        for (const auto& altro : r.altriPosti)
            if (auto& file = fatture[chiaveFile(altro.file)]; file.empty() || file.back() != i)
                file.push_back(i);
    }

    struct Evento {
        std::size_t messaggio;
        std::string nota;
    };
    std::map<std::string, std::vector<Evento>> storie; // by the invoice's file, as read
    for (std::size_t m = 0; m < righe.size(); ++m) {
        RigaElenco& riga = righe[m];
        if (!eMessaggio(riga) || riga.messaggio->codice == "MT")
            continue;
        const MessaggioSdI& msg = *riga.messaggio;
        if (!verificata(riga)) {
            if (!msg.statoFattura.empty())
                riga.statoSdi = RicevutaNonVerificata;
            continue;
        }
        std::string chiave =
            riga.nomeFileSdi.empty() ? std::string() : chiaveFile(riga.nomeFileSdi);
        std::string hash = msg.hash;
        if (const auto it = legami.find(riga.identificativoSdi);
            it != legami.end() && !it->second.conteso) {
            if (chiave.empty())
                chiave = it->second.chiave;
            if (hash.empty() && chiave == it->second.chiave)
                hash = it->second.hash;
        }
        const auto trovate = fatture.find(chiave);
        if (chiave.empty() || trovate == fatture.end())
            continue;
        std::set<std::string> file;
        for (const std::size_t i : trovate->second)
            if (hash.empty() || righe[i].impronta == hash ||
                std::any_of(righe[i].altriPosti.begin(), righe[i].altriPosti.end(),
                            [&](const AltroPosto& p) { return p.impronta == hash; }))
                file.insert(righe[i].file);
        if (file.size() > 1) {
            riga.statoSdi = AbbinamentoAmbiguo;
            continue;
        }
        if (file.empty())
            continue;
        storie[*file.begin()].push_back({m, {}});
    }

    // Each file's state from its history, in the exchange system's order.
    std::map<std::string, std::pair<std::string, std::vector<EventoSdi>>> esiti;
    for (auto& [file, eventi] : storie) {
        const auto istante = [&](const Evento& e) { return righe[e.messaggio].messaggio->istante; };
        std::stable_sort(eventi.begin(), eventi.end(), [&](const Evento& a, const Evento& b) {
            const auto ia = istante(a), ib = istante(b);
            return ia && ib ? *ia < *ib : ia && !ib; // undated ones last, as found
        });
        const bool consegnata = std::any_of(eventi.begin(), eventi.end(), [&](const Evento& e) {
            return righe[e.messaggio].messaggio->codice == "RC";
        });
        std::string statoConsegna, statoEsito;
        std::optional<std::int64_t> tempoEsito;
        for (auto& e : eventi) {
            const MessaggioSdI& msg = *righe[e.messaggio].messaggio;
            const std::string& stato = msg.statoFattura;
            if (stato.empty())
                continue;
            if (msg.codice == "RC" || msg.codice == "NS" || msg.codice == "MC" ||
                msg.codice == "AT") {
                if (consegnata && msg.codice != "RC") {
                    const bool duplicato =
                        std::find(msg.codiciErrore.begin(), msg.codiciErrore.end(),
                                  ErroreFileDuplicato) != msg.codiciErrore.end();
                    e.nota = duplicato ? "non cambia lo stato: scarto di un nuovo invio dello "
                                         "stesso file, già consegnato"
                                       : "non cambia lo stato: la fattura risulta consegnata";
                    continue;
                }
                statoConsegna = stato;
            } else {
                // Outcomes: the latest dated one; between undated ones, the last found.
                if (!statoEsito.empty() && tempoEsito && msg.istante &&
                    *msg.istante < *tempoEsito) {
                    e.nota = "non cambia lo stato: precede un altro esito";
                    continue;
                }
                statoEsito = stato;
                if (msg.istante)
                    tempoEsito = msg.istante;
            }
        }
        std::vector<EventoSdi> storia;
        for (const auto& e : eventi) {
            const RigaElenco& r = righe[e.messaggio];
            storia.push_back({r.messaggio->dataOra, r.messaggio->codice, r.messaggio->statoFattura,
                              r.file, e.nota});
        }
        esiti[file] = {statoEsito.empty() ? statoConsegna : statoEsito, std::move(storia)};
    }
    for (auto& r : righe) {
        if (!documentoFattura(r))
            continue;
        if (const auto it = esiti.find(r.file); it != esiti.end()) {
            r.statoSdi = it->second.first;
            r.storiaSdi = it->second.second;
        }
    }
}

std::vector<TotaleDivisa> TotaliPerDivisa(const std::vector<const RigaElenco*>& righe) {
    std::vector<TotaleDivisa> totali;
    const auto aggiungi = [](std::string& somma, const DatiDocumento& d, const std::string& v) {
        // What is not an amount is left out of the sum, as it is of the cell that shows it.
        if (const auto nuova = SommaImporti({somma, ImportoConSegno(d, v)}); nuova && !v.empty())
            somma = *nuova;
    };
    for (const RigaElenco* r : righe) {
        if (!documentoFattura(*r))
            continue;
        const DatiDocumento& d = r->dati;
        auto it = std::find_if(totali.begin(), totali.end(),
                               [&](const TotaleDivisa& t) { return t.divisa == d.divisa; });
        if (it == totali.end())
            it = totali.insert(totali.end(), TotaleDivisa{.divisa = d.divisa});
        ++it->documenti;
        aggiungi(it->imponibile, d, d.imponibile);
        aggiungi(it->imposta, d, d.imposta);
        aggiungi(it->totale, d, d.totale);
        aggiungi(it->netto, d, d.netto);
    }
    return totali;
}

std::vector<TotaleDivisa> TotaliPerDivisa(const std::vector<RigaElenco>& righe) {
    std::vector<const RigaElenco*> tutte;
    for (const auto& r : righe)
        tutte.push_back(&r);
    return TotaliPerDivisa(tutte);
}

std::string DescriviTotale(const TotaleDivisa& t) {
    return (t.divisa.empty() ? std::string("divisa non indicata") : t.divisa) + "  " +
           std::to_string(t.documenti) + (t.documenti == 1 ? " documento" : " documenti") +
           "  Imponibile " + ImportoItaliano(t.imponibile, true) + "  IVA " +
           ImportoItaliano(t.imposta, true) + "  Totale " + ImportoItaliano(t.totale, true) +
           "  Netto " + ImportoItaliano(t.netto, true);
}

} // namespace ondivo
