#pragma once

// Who makes the program and where to find it: every text and address about the vendor.
namespace ondivo::vendor {

inline constexpr const char* Nome = "Ondivo - visualizzatore libero di fatture elettroniche";
inline constexpr const char* Avviso = "Ondivo, software libero";
inline constexpr const char* Sito = "www.ondivo.it";
inline constexpr const char* PrefissoLink = "https://";
inline constexpr const char* SuggerimentoSito =
    "Eventuali aggiornamenti di Ondivo in [wath's new] ...";
inline constexpr const char* PaginaProdotto = "https://www.ondivo.it/prodotti";
inline constexpr const char* SuggerimentoBanner =
    "Ondivo Archivio: conserva e ritrova le fatture elettroniche dello studio";
// The help page ships in the program folder, so it opens offline.
inline constexpr const char* Guida = "guida/index.html";
inline constexpr const char* Logo = ":/ondivo/logo.gif";
inline constexpr const char* Banner = ":/ondivo/banner.jpg";

} // namespace ondivo::vendor
