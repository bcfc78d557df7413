#pragma once

#include <QRect>
#include <QSize>

namespace ondivo {

// Where the list of invoices opens, in the screen's available area `schermo`, given the main
// window's frame `principale` and the size the list would like: beside the main window on the
// side with more room, as high as it and as wide as the room allows (not narrower than a
// usable list); else under it; only when the screen has no such room, over the lower part of
// the main window, where its header and attachment list stay in sight. Always inside the
// screen. The result's corner is the frame's, its size the list's own.
QRect PosizioneElenco(const QRect& schermo, const QRect& principale, const QSize& desiderata);

} // namespace ondivo
