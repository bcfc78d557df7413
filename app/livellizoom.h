#pragma once

namespace ondivo {

// The zoom levels of the invoice page, as a browser steps through them: 25 % to 500 %.

inline constexpr double ZoomNormale = 1.0;

// The level above `attuale`, or below it. A factor between two levels (a zoom set by other
// means) goes to the nearer level in that direction; at either end the factor stays.
double ZoomSuccessivo(double attuale);
double ZoomPrecedente(double attuale);

} // namespace ondivo
