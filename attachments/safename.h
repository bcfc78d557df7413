#pragma once

#include <string>
#include <string_view>

namespace ondivo {

// Attachment names come from the invoice and must never lead a write out of the target
// folder. The name is reduced to a plain file name:
//   1. only the part after the last "/" or "\" is kept;
//   2. a drive prefix (a letter and ":") at its start is removed;
//   3. every control character (codes 0 to 31 and 127) becomes "_";
//   4. a name left empty or made of dots only ("." and ".." among them) becomes "allegato".
// Any other name is returned unchanged, ".." inside a longer name included.
std::string NomeFileSicuro(std::string_view nome);

// The folder joined with the safe form of the name: a "/" is put between them when the folder
// does not end in one; an empty folder stands for the current one.
std::string PercorsoAllegato(const std::string& cartella, std::string_view nome);

} // namespace ondivo
