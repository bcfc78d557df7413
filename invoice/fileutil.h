#pragma once

#include <string>

namespace ondivo {

// True for an existing regular file (a symbolic link counts by its target); false for a
// folder, a device, a pipe or nothing at all.
bool FileEsiste(const std::string& percorso);

// The last name of a path: what follows its last folder separator ("/"; also "\\" and ":"
// on Windows).
std::string NomeFile(const std::string& percorso);

// The folder of a path's last name, without the separator between them: "." for a bare name,
// the root itself ("/", "C:\\") for a name at the root.
std::string CartellaDi(const std::string& percorso);

// Position of the dot that starts the extension of the path's last name, or npos.
std::string::size_type PosizioneEstensione(const std::string& percorso);

// The extension of the path's last name, from its last dot on, in small letters ("" if none).
std::string EstensioneMinuscola(const std::string& percorso);

} // namespace ondivo
