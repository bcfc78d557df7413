#pragma once

namespace ondivo {

// Makes libxml2 read (and write) documents declared as "windows-1252" where it was built
// without iconv (the Windows build), with the program's own table of the code page; where
// libxml2 already knows the encoding nothing changes. Safe to call from any thread, often.
void RegistraCodificaAnsi();

} // namespace ondivo
