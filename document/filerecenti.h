#pragma once

#include "files.h"

#include <cstddef>
#include <string>
#include <vector>

namespace ondivo {

// The files, folders and archives the user opened last (not the rows of a list), kept in
// "file_recenti.txt" in `cartella`, the user's settings folder unless given (ending in a folder
// separator; empty: none), one absolute path a line in UTF-8, the latest first. The list is a
// convenience: reading and writing it never throws, and a failure leaves it as it was.
inline constexpr const char* FileFileRecenti = "file_recenti.txt";
inline constexpr std::size_t FileRecentiMassimi = 10;

// The paths kept, the latest first, at most FileRecentiMassimi; none when there is no file or
// it cannot be read. Lines that are not absolute paths are left out.
std::vector<std::string>
LeggiFileRecenti(const std::string& cartella = platform::CartellaConfigurazioneUtente());

// Puts `percorso` first (made absolute), an earlier mention of it dropped, the oldest beyond
// FileRecentiMassimi dropped. A path holding a line break is not kept. False when the list
// could not be written.
bool AggiungiFileRecente(const std::string& percorso,
                         const std::string& cartella = platform::CartellaConfigurazioneUtente());

// Forgets them all. False when the file could not be removed.
bool DimenticaFileRecenti(const std::string& cartella = platform::CartellaConfigurazioneUtente());

} // namespace ondivo
