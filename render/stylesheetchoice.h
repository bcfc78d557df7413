#pragma once

#include <array>
#include <string>

namespace ondivo {

// One known transmission format and the file of its stylesheet in the stylesheet folder.
struct FormatoFoglioStile {
    const char* formato;
    const char* file;
};

// The known formats, in the order they are compared.
inline constexpr std::array<FormatoFoglioStile, 3> FogliStile = {{
    {"FPA12", "Foglio_di_stile_fatturaPA_v1.2.3.xsl"},
    {"FPR12", "Foglio_di_stile_fattura_ordinaria_ver1.2.3.xsl"},
    {"FSM10", "Foglio_di_stile_VFSM10_v1.0.2.xsl"},
}};

// The file of the stylesheet that shows the receipts and notices of the exchange system.
inline constexpr const char* FileFoglioStileMessaggi = "Foglio_di_stile_messaggi_SdI.xsl";

// The stylesheet used until an invoice names a known format: the FPR12 one, under AppDir().
std::string FoglioStilePredefinito();

// The stylesheet of the exchange system's messages, under AppDir().
std::string FoglioStileMessaggi();

// `formato` is the joined, trimmed text of the format query. When it equals one of the known
// formats exactly (case-sensitive), `fogliostile` becomes AppDir() + DirFogliStile + that
// format's file; otherwise it is left as it is, unless it is the messages' stylesheet (the one
// last used, after a receipt), which shows no invoice: then it becomes FoglioStilePredefinito().
// The file's existence is not checked.
void ScegliFoglioStile(const std::string& formato, std::string& fogliostile);

} // namespace ondivo
