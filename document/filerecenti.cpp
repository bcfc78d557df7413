#include "filerecenti.h"

#include "fileutil.h"

#include <algorithm>
#include <filesystem>
#include <sstream>

namespace ondivo {

namespace {

std::string fileElenco(const std::string& cartella) {
    return cartella.empty() ? std::string() : cartella + FileFileRecenti;
}

bool assoluto(const std::string& percorso) {
    return !percorso.empty() && std::filesystem::path(percorso).is_absolute();
}

} // namespace

std::vector<std::string> LeggiFileRecenti(const std::string& cartella) {
    std::vector<std::string> recenti;
    const std::string file = fileElenco(cartella);
    if (file.empty() || !FileEsiste(file))
        return recenti;
    std::string dati;
    try {
        dati = platform::LeggiFile(file);
    } catch (const std::exception&) {
        return recenti;
    }
    std::istringstream righe(dati);
    std::string riga;
    while (recenti.size() < FileRecentiMassimi && std::getline(righe, riga)) {
        if (!riga.empty() && riga.back() == '\r')
            riga.pop_back();
        if (assoluto(riga) && std::find(recenti.begin(), recenti.end(), riga) == recenti.end())
            recenti.push_back(riga);
    }
    return recenti;
}

bool AggiungiFileRecente(const std::string& percorso, const std::string& cartella) {
    const std::string file = fileElenco(cartella);
    if (file.empty() || percorso.find_first_of("\r\n") != std::string::npos)
        return false;
    std::error_code ec;
    const std::string completo =
        std::filesystem::absolute(percorso, ec).lexically_normal().string();
    if (ec || !assoluto(completo))
        return false;
    std::vector<std::string> recenti = LeggiFileRecenti(cartella);
    std::erase(recenti, completo);
    recenti.insert(recenti.begin(), completo);
    if (recenti.size() > FileRecentiMassimi)
        recenti.resize(FileRecentiMassimi);
    std::string testo;
    for (const std::string& r : recenti)
        testo += r + "\n";
    try {
        std::string motivo;
        if (!platform::CreaCartella(cartella, motivo))
            return false;
        platform::ScriviFile(file, testo);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

bool DimenticaFileRecenti(const std::string& cartella) {
    const std::string file = fileElenco(cartella);
    return file.empty() || !FileEsiste(file) || platform::RimuoviFile(file);
}

} // namespace ondivo
