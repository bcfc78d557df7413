#pragma once

#include <string>
#include <string_view>

namespace ondivo::platform {

// A file of our own in the system's temporary folder, readable by the user only, removed
// when the object goes out of scope.
class FileTemporaneo {
public:
    FileTemporaneo() = default;
    ~FileTemporaneo();
    FileTemporaneo(const FileTemporaneo&) = delete;
    FileTemporaneo& operator=(const FileTemporaneo&) = delete;

    // Creates a new file whose name starts with prefisso and writes the bytes into it. On
    // failure returns false with the system's reason in errore; nothing is left behind, and
    // percorso() names the file that was tried.
    bool crea(std::string_view prefisso, std::string_view contenuto, std::string& errore);

    const std::string& percorso() const { return m_percorso; }

private:
    std::string m_percorso;
    bool m_creato = false;
};

// A folder of our own in the system's temporary folder, open to the user only, removed with
// everything in it when the object goes out of scope.
class CartellaTemporanea {
public:
    CartellaTemporanea() = default;
    ~CartellaTemporanea();
    CartellaTemporanea(const CartellaTemporanea&) = delete;
    CartellaTemporanea& operator=(const CartellaTemporanea&) = delete;

    // Creates a new folder whose name starts with prefisso. On failure returns false with the
    // system's reason in errore, and percorso() names the folder that was tried.
    bool crea(std::string_view prefisso, std::string& errore);

    const std::string& percorso() const { return m_percorso; }

private:
    std::string m_percorso;
    bool m_creata = false;
};

} // namespace ondivo::platform
