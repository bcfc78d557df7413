#include "esploratore.h"
#include "dimensioneleggibile.h"
#include "envelopepath.h"
#include "errors.h"
#include "files.h"
#include "fileutil.h"
#include "text.h"
#include "vocisovrapposte.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <array>
#include <memory>
#include <optional>

namespace ondivo {

namespace {

struct LiberaArchivio {
    void operator()(archive* a) const { archive_read_free(a); }
};
using ArchivioPtr = std::unique_ptr<archive, LiberaArchivio>;

// The ratio of a compressed entry is judged once this much of it has come out: before, the
// input is read in blocks and says little about the one entry.
constexpr std::uint64_t kSogliaRapporto = 8u << 20;

bool annullato(const std::atomic<bool>* annulla) {
    return annulla && annulla->load(std::memory_order_acquire);
}

// The last name of an entry's path, for its copy; entries are told apart by their folders.
std::string ultimoNome(const std::string& nome) {
    const auto barra = nome.find_last_of("/\\");
    std::string ultimo = barra == std::string::npos ? nome : nome.substr(barra + 1);
    return ultimo.empty() || ultimo == "." ? std::string("voce") : ultimo;
}

std::string erroreArchivio(archive* a) {
    const char* testo = archive_error_string(a);
    return testo ? testo : "errore sconosciuto";
}

std::string inMegabyte(std::uint64_t byte) {
    return std::to_string(byte >> 20) + " MB";
}

} // namespace

std::string UltimoNome(const std::string& file) {
    const auto freccia = file.rfind(SeparatoreArchivio);
    const std::string voce =
        freccia == std::string::npos
            ? file
            : file.substr(freccia + std::string_view(SeparatoreArchivio).size());
    return voce.substr(voce.find_last_of("/\\") + 1);
}

bool EArchivioZip(std::string_view inizio) {
    return inizio.starts_with("PK\x03\x04") || inizio.starts_with("PK\x05\x06");
}

bool FileArchivioZip(const std::string& percorso) {
    try {
        platform::TFileLettura file(percorso);
        std::array<char, 4> inizio{};
        const std::size_t letti = file.Leggi(inizio.data(), inizio.size());
        return EArchivioZip(std::string_view(inizio.data(), letti));
    } catch (const std::exception&) {
        return false;
    }
}

bool RichiedeElenco(const std::vector<std::string>& percorsi) {
    return percorsi.size() > 1 || (percorsi.size() == 1 && (platform::ECartella(percorsi[0]) ||
                                                            FileArchivioZip(percorsi[0])));
}

std::string MotivoNomeNonSicuro(const std::string& nome) {
    if (nome.empty())
        return "nome vuoto nell'archivio";
    if (nome[0] == '/' || nome[0] == '\\' ||
        (nome.size() >= 2 && nome[1] == ':' &&
         ((nome[0] >= 'A' && nome[0] <= 'Z') || (nome[0] >= 'a' && nome[0] <= 'z'))))
        return "nome assoluto nell'archivio, non sicuro";
    std::size_t inizio = 0;
    while (inizio <= nome.size()) {
        const auto fine = nome.find_first_of("/\\", inizio);
        const auto passo =
            nome.substr(inizio, fine == std::string::npos ? std::string::npos : fine - inizio);
        if (passo == "..")
            return "nome con \"..\" nell'archivio, non sicuro";
        if (fine == std::string::npos)
            break;
        inizio = fine + 1;
    }
    return {};
}

Esploratore::Esploratore(LimitiArchivio limiti, VociArchivio voci)
    : m_limiti(limiti), m_modoVoci(voci) {}

Esploratore::~Esploratore() = default;

std::string Esploratore::postoCopia(const std::string& nome) {
    if (m_privata.percorso().empty()) {
        std::string errore;
        if (!m_privata.crea("ondivo-elenco-", errore))
            throw OndivoError("Impossibile creare la cartella temporanea " + m_privata.percorso() +
                              ": " + errore);
    }
    // Names compare in small letters: some file systems do not tell "A.xml" from "a.xml".
    // A folder per entry would cost a folder made and removed for every file of an archive.
    // An envelope's XML is written beside it when opened: its name is taken along with it.
    std::vector<std::string> nomi = {MinuscoleAscii(nome)};
    if (IsEnvelope(nome))
        nomi.push_back(MinuscoleAscii(PercorsoXmlDaP7m(nome)));
    if (std::none_of(nomi.begin(), nomi.end(),
                     [&](const auto& n) { return m_nomiUsati.count(n); })) {
        m_nomiUsati.insert(nomi.begin(), nomi.end());
        return m_privata.percorso() + "/" + nome;
    }
    std::string sottocartella;
    do
        sottocartella = "voce-" + std::to_string(++m_voci);
    while (!m_nomiUsati.insert(sottocartella).second);
    const std::string cartella = m_privata.percorso() + "/" + sottocartella;
    std::string motivo;
    if (!platform::CreaCartella(cartella, motivo))
        throw OndivoError("Impossibile creare la cartella " + cartella + ": " + motivo);
    return cartella + "/" + nome;
}

void Esploratore::esplora(const std::vector<std::string>& percorsi,
                          const std::function<void(FileTrovato)>& trovato,
                          const std::atomic<bool>* annulla) {
    for (const auto& percorso : percorsi) {
        if (annullato(annulla))
            return;
        if (!platform::ECartella(percorso)) {
            esploraFile(percorso, percorso, 0, trovato, annulla);
            continue;
        }
        std::vector<std::pair<std::string, std::string>> illeggibili;
        const auto file = platform::FileNellaCartella(percorso, illeggibili);
        for (const auto& [cartella, motivo] : illeggibili)
            trovato({cartella, "", "cartella illeggibile: " + motivo});
        for (const auto& f : file) {
            if (annullato(annulla))
                return;
            esploraFile(f, f, 0, trovato, annulla);
        }
    }
}

void Esploratore::esploraFile(const std::string& percorso, const std::string& nome, int profondita,
                              const std::function<void(FileTrovato)>& trovato,
                              const std::atomic<bool>* annulla) {
    if (FileArchivioZip(percorso))
        esploraArchivio(percorso, nome, profondita, trovato, annulla);
    else if (EstensioneMinuscola(nome) == ".zip" && profondita == 0)
        trovato({nome, "", "archivio ZIP illeggibile"});
    else
        trovato({nome, percorso, ""});
}

void Esploratore::esploraArchivio(const std::string& percorso, const std::string& nome,
                                  int profondita, const std::function<void(FileTrovato)>& trovato,
                                  const std::atomic<bool>* annulla, Bilancio* bilancio) {
    if (profondita > 1) {
        trovato({nome, "", "archivio dentro un archivio annidato: non letto"});
        return;
    }
    // Opened here, so that its name reaches the system in the system's own form.
    std::optional<platform::DescrittoreLettura> file;
    try {
        file.emplace(percorso);
    } catch (const platform::EFileStreamError& e) {
        trovato({nome, "", std::string("archivio ZIP illeggibile: ") + e.what()});
        return;
    }
    try {
        if (const std::string motivo = MotivoVociSovrapposte(*file); !motivo.empty()) {
            trovato({nome, "", motivo});
            return;
        }
    } catch (const platform::EFileStreamError& e) {
        trovato({nome, "", std::string("archivio ZIP illeggibile: ") + e.what()});
        return;
    }
    // The archive given sets what it and the archives inside it may unpack to.
    Bilancio proprio;
    if (!bilancio) {
        const double limite =
            std::min(static_cast<double>(m_limiti.estrattiMassimi),
                     static_cast<double>(std::max<std::uint64_t>(file->Dimensione(), 1)) *
                         m_limiti.rapportoArchivio);
        proprio.totale = proprio.residuo = static_cast<std::uint64_t>(limite);
        bilancio = &proprio;
    }
    const auto oltreIlBilancio = [&] {
        return "l'archivio darebbe più di " + platform::DimensioneLeggibile(bilancio->totale) +
               " una volta estratto (al massimo " +
               std::to_string(static_cast<int>(m_limiti.rapportoArchivio)) +
               " volte la sua dimensione): voce non letta";
    };
    ArchivioPtr a(archive_read_new());
    archive_read_support_format_zip(a.get());
    if (archive_read_open_fd(a.get(), file->fd(), 1 << 16) != ARCHIVE_OK) {
        trovato({nome, "", "archivio ZIP illeggibile: " + erroreArchivio(a.get())});
        return;
    }
    std::size_t voci = 0;
    archive_entry* voce = nullptr;
    std::array<char, 1 << 16> blocco;
    while (!annullato(annulla)) {
        const int esito = archive_read_next_header(a.get(), &voce);
        if (esito == ARCHIVE_EOF)
            break;
        if (esito < ARCHIVE_WARN) {
            trovato({nome, "", "archivio ZIP danneggiato: " + erroreArchivio(a.get())});
            break;
        }
        if (++voci > m_limiti.vociMassime) {
            trovato({nome, "",
                     "l'archivio ha più di " + std::to_string(m_limiti.vociMassime) +
                         " voci: le altre non sono lette"});
            break;
        }
        const char* nomeGrezzo = archive_entry_pathname_utf8(voce);
        if (!nomeGrezzo)
            nomeGrezzo = archive_entry_pathname(voce);
        const std::string nomeVoce = nomeGrezzo ? nomeGrezzo : "";
        const std::string mostrato = nome + SeparatoreArchivio + nomeVoce;
        const auto tipo = archive_entry_filetype(voce);
        if (tipo == AE_IFDIR)
            continue; // a folder holds nothing of its own
        if (const std::string motivo = MotivoNomeNonSicuro(nomeVoce); !motivo.empty()) {
            trovato({mostrato, "", motivo});
            continue;
        }
        if (tipo != AE_IFREG) {
            trovato({mostrato, "", "non è un file (collegamento o file speciale)"});
            continue;
        }
        if (archive_entry_is_encrypted(voce)) {
            trovato({mostrato, "", "voce cifrata con password"});
            continue;
        }
        if (archive_entry_size_is_set(voce) &&
            static_cast<std::uint64_t>(archive_entry_size(voce)) > m_limiti.dimensioneMassima) {
            trovato({mostrato, "",
                     "voce di oltre " + inMegabyte(m_limiti.dimensioneMassima) +
                         " una volta estratta"});
            continue;
        }
        if (bilancio->residuo == 0 ||
            (archive_entry_size_is_set(voce) &&
             static_cast<std::uint64_t>(archive_entry_size(voce)) > bilancio->residuo)) {
            trovato({mostrato, "", oltreIlBilancio()});
            continue;
        }

        // The entry, checked as it comes out: the sizes an archive declares may lie. It stays
        // in memory while it may, and goes to a copy once it grows past that.
        std::string dati;
        std::string copia;
        std::optional<platform::TFileScrittura> scrittura;
        const auto versaInCopia = [&] {
            copia = postoCopia(ultimoNome(nomeVoce));
            scrittura.emplace(copia);
            scrittura->Scrivi(dati);
            dati = std::string();
        };
        std::string errore;
        std::string inizio; // the first bytes, to tell an archive inside from other files
        try {
            if (m_modoVoci == VociArchivio::Copiate)
                versaInCopia();
            const std::int64_t compressiInizio = archive_filter_bytes(a.get(), -1);
            std::uint64_t estratti = 0;
            for (;;) {
                const la_ssize_t n = archive_read_data(a.get(), blocco.data(), blocco.size());
                if (n == 0)
                    break;
                if (n < 0) {
                    errore = "voce danneggiata: " + erroreArchivio(a.get());
                    break;
                }
                estratti += static_cast<std::uint64_t>(n);
                // What came out counts, whether the entry is kept or not.
                if (static_cast<std::uint64_t>(n) > bilancio->residuo) {
                    bilancio->residuo = 0;
                    errore = oltreIlBilancio();
                    break;
                }
                bilancio->residuo -= static_cast<std::uint64_t>(n);
                if (estratti > m_limiti.dimensioneMassima) {
                    errore = "voce di oltre " + inMegabyte(m_limiti.dimensioneMassima) +
                             " una volta estratta";
                    break;
                }
                const auto compressi = static_cast<double>(
                    std::max<std::int64_t>(archive_filter_bytes(a.get(), -1) - compressiInizio, 1));
                if (estratti > kSogliaRapporto &&
                    static_cast<double>(estratti) / compressi > m_limiti.rapportoMassimo) {
                    errore = "rapporto di compressione oltre " +
                             std::to_string(static_cast<int>(m_limiti.rapportoMassimo)) +
                             ": voce rifiutata";
                    break;
                }
                if (annullato(annulla))
                    return;
                const std::string_view letti(blocco.data(), static_cast<std::size_t>(n));
                if (inizio.size() < 4)
                    inizio.append(letti.substr(0, 4 - inizio.size()));
                if (scrittura) {
                    scrittura->Scrivi(letti);
                } else {
                    dati.append(letti);
                    if (dati.size() > m_limiti.inMemoriaMassima)
                        versaInCopia();
                }
            }
            // An archive inside is read from a file of its own, however small.
            if (errore.empty() && !scrittura && EArchivioZip(inizio))
                versaInCopia();
            if (errore.empty() && scrittura)
                scrittura->Conferma();
        } catch (const std::exception& e) {
            errore = e.what();
        }
        scrittura.reset();
        if (!errore.empty())
            trovato({mostrato, "", errore});
        else if (EArchivioZip(inizio)) {
            esploraArchivio(copia, mostrato, profondita + 1, trovato, annulla, bilancio);
            // Its entries have their own copies: the archive inside is needed no more.
            platform::RimuoviFile(copia);
        } else if (!copia.empty())
            trovato({mostrato, copia, ""});
        else
            trovato({mostrato, "", "", std::make_shared<const std::string>(std::move(dati))});
    }
}

} // namespace ondivo
