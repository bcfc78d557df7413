#pragma once

#include <map>
#include <string>

namespace ondivo {

// The user's own stylesheets, one per invoice format, remembered in the user's settings folder
// (platform::CartellaConfigurazioneUtente()), never in the program folder. The file is XML:
//   <fogliDiStile>
//     <foglio formato="FPA12">/home/anna/fogli/mio.xsl</foglio>
//   </fogliDiStile>
inline constexpr const char* FileFogliPersonali = "fogli_di_stile.xml";

// The file's full path; "" when the user has no settings folder.
std::string PercorsoFogliPersonali();

// The stylesheet chosen for each known format (FPA12, FPR12, FSM10) → its absolute path, as
// ImpostaFoglioPersonale stored it; whether the file is still there is not checked. No file,
// or no settings folder, gives an empty map. A file that cannot be read or understood gives an
// empty map too, and never throws; then `problema`, when given, receives the sentence to show
// the user (naming the file and why), and is left alone otherwise.
std::map<std::string, std::string> LeggiFogliPersonali(std::string* problema = nullptr);

// Remembers `percorso` (made absolute) as the user's stylesheet for `formato`, one of the known
// formats, replacing an earlier choice. The stylesheet is checked first (VerificaFoglioStile:
// readable, well-formed, a stylesheet that compiles with local imports only) and nothing is
// written when it fails. The settings folder is created when missing; the file is written
// whole or not at all. A file already there that cannot be understood is never overwritten:
// the user may have written it by hand.
// Throws OndivoError: an unknown format, no settings folder, a file there that cannot be read
// or understood, the folder or file that cannot be written; EFoglioStile for the stylesheet.
void ImpostaFoglioPersonale(const std::string& formato, const std::string& percorso);

// Forgets the user's stylesheet for `formato`; nothing is written when there is none. Throws
// as ImpostaFoglioPersonale for the file.
void RimuoviFoglioPersonale(const std::string& formato);

} // namespace ondivo
