#include "elenco.h"
#include "ansicodec.h"
#include "documentoaperto.h"
#include "envelopepath.h"
#include "stylesheetchoice.h"
#include "text.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <map>
#include <mutex>
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
    std::string ultimo = MinuscoleAscii(nome.substr(nome.find_last_of("/\\") + 1));
    if (ultimo.size() > 4 && IsEnvelope(ultimo))
        ultimo.resize(ultimo.size() - 4);
    return ultimo;
}

// How much an SdI state tells: the final outcomes first.
int peso(const std::string& stato) {
    static const std::map<std::string, int> pesi = {
        {"non consegnata", 1}, {"consegnata", 2}, {"decorrenza termini", 3},
        {"accettata", 4},      {"rifiutata", 4},  {"scartata", 5},
    };
    const auto it = pesi.find(stato);
    return it == pesi.end() ? 0 : it->second;
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
                               annulla, file.contenuto.get());
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
        righe.push_back(std::move(riga));
        return righe;
    }
    for (std::size_t i = 0; i < aperto.documenti.size(); ++i) {
        RigaElenco riga;
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
                                   const std::function<void(std::size_t, std::size_t)>& letti) {
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
            esploratore.esplora(percorsi, [&](FileTrovato f) {
                {
                    std::unique_lock lock(mutex);
                    liberato.wait(lock, [&] {
                        return inAttesa == 0 || inAttesa + peso(f) <= kMassimoInAttesa;
                    });
                    inAttesa += peso(f);
                    trovati.push_back(std::move(f));
                    perFile.emplace_back();
                }
                cambiato.notify_one();
            });
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
            righe = LeggiRigheFile(file, fiducia);
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
    return righe;
}

void AbbinaMessaggiSdi(std::vector<RigaElenco>& righe) {
    // The file each IdentificativoSdI stands for, from the messages that name both.
    std::map<std::string, std::string> fileDiIdentificativo;
    for (const auto& r : righe)
        if (r.formato == "SDI" && !r.identificativoSdi.empty() && !r.nomeFileSdi.empty())
            fileDiIdentificativo.emplace(r.identificativoSdi, chiaveFile(r.nomeFileSdi));
    std::map<std::string, std::string> statoDiFile;
    for (const auto& r : righe) {
        if (r.formato != "SDI" || r.statoSdi.empty())
            continue;
        std::string chiave = r.nomeFileSdi.empty() ? std::string() : chiaveFile(r.nomeFileSdi);
        if (chiave.empty()) {
            const auto it = fileDiIdentificativo.find(r.identificativoSdi);
            if (it == fileDiIdentificativo.end())
                continue;
            chiave = it->second;
        }
        std::string& stato = statoDiFile[chiave];
        if (peso(r.statoSdi) > peso(stato))
            stato = r.statoSdi;
    }
    for (auto& r : righe) {
        if (r.formato == "SDI" || r.documento == 0)
            continue;
        const auto it = statoDiFile.find(chiaveFile(r.file));
        if (it != statoDiFile.end())
            r.statoSdi = it->second;
    }
}

} // namespace ondivo
