#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace ondivo {

// The files, folders and archives the user opened last (not the rows of a list), kept in the
// user's settings folder (platform::CartellaConfigurazioneUtente()) in "file_recenti.txt", one
// absolute path a line in UTF-8, the latest first. The list is a convenience: reading and
// writing it never throws, and a failure leaves it as it was.
inline constexpr const char* FileFileRecenti = "file_recenti.txt";
inline constexpr std::size_t FileRecentiMassimi = 10;

// The paths kept, the latest first, at most FileRecentiMassimi; none when there is no file or
// it cannot be read. Lines that are not absolute paths are left out.
std::vector<std::string> LeggiFileRecenti();

// Puts `percorso` first (made absolute), an earlier mention of it dropped, the oldest beyond
// FileRecentiMassimi dropped. A path holding a line break is not kept. False when the list
// could not be written.
bool AggiungiFileRecente(const std::string& percorso);

// Forgets them all. False when the file could not be removed.
bool DimenticaFileRecenti();

} // namespace ondivo
