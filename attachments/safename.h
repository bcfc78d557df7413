#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ondivo {

// Attachment names come from the invoice and must never lead a write out of the target
// folder nor pass for another name. The name (UTF-8) is reduced to a plain file name:
//   1. only the part after the last "/" or "\" is kept;
//   2. a drive prefix (a letter and ":") at its start is removed;
//   3. every control character (codes 0 to 31 and 127) and every invisible formatting
//      character (U+200B-U+200F, U+202A-U+202E, U+2066-U+2069, U+FEFF), which could make a
//      name read as another ("fattura\u202Efdp.sh" shown as "fatturahs.pdf"), becomes "_";
//   4. a name left empty or made of dots only ("." and ".." among them) becomes "allegato";
//   5. a name longer than a file system takes (255 bytes) is shortened before its
//      extension, never inside a character.
// Any other name is returned unchanged, ".." inside a longer name included.
std::string NomeFileSicuro(std::string_view nome);

// The text a name is shown with in the list: the same characters as NomeFileSicuro's rule 3
// made visible as "_", nothing else changed.
std::string NomeVisibile(std::string_view nome);

// A file name made of texts from an invoice (date, supplier, number): the non-empty ones
// joined by a blank, each character a file system refuses ("/\\:*?\"<>|" and controls) made
// "-", dots and blanks at the ends dropped. Empty when nothing is left; not yet NomeFileSicuro.
std::string NomeDaParti(const std::vector<std::string>& parti);

// The n-th name for a file (n >= 2): "nome (n).ext", the number before the last extension;
// a name starting with its only dot has no extension (".profile (2)").
std::string NomeNumerato(std::string_view nome, int n);

// The folder joined with the safe form of the name: a "/" is put between them when the folder
// does not end in one; an empty folder stands for the current one.
std::string PercorsoAllegato(const std::string& cartella, std::string_view nome);

} // namespace ondivo
