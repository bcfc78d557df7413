#include "posizioneelenco.h"

#include <algorithm>

namespace ondivo {

namespace {

constexpr int kStacco = 8;            // between the two windows, for their frames
constexpr int kLarghezzaMinima = 480; // below this the list's columns are unreadable
constexpr int kAltezzaMinima = 260;   // a few rows, the sums and the commands
constexpr int kCornice = 40;          // the room a title bar and borders take

} // namespace

QRect PosizioneElenco(const QRect& schermo, const QRect& principale, const QSize& desiderata) {
    const int destra = schermo.right() - principale.right() - kStacco;
    const int sinistra = principale.left() - schermo.left() - kStacco;
    if (std::max(destra, sinistra) >= kLarghezzaMinima) {
        const bool aDestra = destra >= sinistra;
        const int larghezza = std::min(desiderata.width(), aDestra ? destra : sinistra);
        const int altezza = std::min(std::max(principale.height() - kCornice, kAltezzaMinima),
                                     schermo.height() - kCornice);
        const int x =
            aDestra ? principale.right() + 1 + kStacco : principale.left() - kStacco - larghezza;
        const int y = std::clamp(principale.top(), schermo.top(),
                                 std::max(schermo.top(), schermo.bottom() - altezza - kCornice));
        return {x, y, larghezza, altezza};
    }
    const int sotto = schermo.bottom() - principale.bottom() - kStacco - kCornice;
    if (sotto >= kAltezzaMinima) {
        const int larghezza = std::min(desiderata.width(), schermo.width());
        const int x = std::clamp(principale.left(), schermo.left(),
                                 std::max(schermo.left(), schermo.right() + 1 - larghezza));
        return {x, principale.bottom() + 1 + kStacco, larghezza,
                std::min(desiderata.height(), sotto)};
    }
    // No room beside or under: over the lower part of the main window, below its header.
    const int larghezza = std::min(desiderata.width(), schermo.width() - 32);
    const int altezza = std::max(std::min(desiderata.height(), schermo.height() - 300),
                                 std::min(kAltezzaMinima, schermo.height() - 120));
    return {schermo.left() + 16, schermo.bottom() - altezza - 60, larghezza, altezza};
}

} // namespace ondivo
