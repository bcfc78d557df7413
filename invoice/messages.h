#pragma once

namespace ondivo {

// Texts the window and the command-line companion both show.
inline constexpr const char* MsgDocumentoNonGestito =
    "Documento xml non gestito, visualizzazione non possibile!";
inline constexpr const char* MsgErroreAvvio = "Errore in avvio 01, chiudere l'applicazione !";
inline constexpr const char* TitoloApplicazione =
    "Ondivo, Visualizzatore fatture elettroniche Italia xml/p7m";

} // namespace ondivo
