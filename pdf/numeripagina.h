#pragma once

class QPDF;

namespace ondivo {

// Writes "pagina n di m" at the foot of every page, right-aligned in the bottom margin of the
// invoice pages' print style (12 mm from the right edge, inside the 14 mm at the bottom), in
// the small grey of their running line. The text is set in a font the PDF already embeds (the
// regular face the engine used for the page, found through its map to Unicode), so the file
// keeps every font embedded; a PDF whose fonts lack one of the characters is left unnumbered.
// Each page's own content is kept inside a saved graphics state, so that nothing it leaves set
// reaches the number. The style's own "pagina n di m" (an @page margin box) is for browsers:
// the engine of this Qt (Chromium 102) does not print margin boxes, one that does would show
// the number twice.
void NumeraPagine(QPDF& pdf);

} // namespace ondivo
