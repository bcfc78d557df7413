#include "livellizoom.h"

#include <algorithm>
#include <array>

namespace ondivo {

namespace {

constexpr std::array kLivelli = {0.25, 0.33, 0.5,  0.67, 0.75, 0.8, 0.9, 1.0, 1.1,
                                 1.25, 1.5,  1.75, 2.0,  2.5,  3.0, 4.0, 5.0};

// The engine hands back a factor rounded through its own zoom scale: 0.33 may come back as
// 0.3300001. Factors this close are one level.
constexpr double kTolleranza = 0.001;

} // namespace

double ZoomSuccessivo(double attuale) {
    const auto it = std::find_if(kLivelli.begin(), kLivelli.end(),
                                 [&](double livello) { return livello > attuale + kTolleranza; });
    return it != kLivelli.end() ? *it : std::max(attuale, kLivelli.back());
}

double ZoomPrecedente(double attuale) {
    const auto it = std::find_if(kLivelli.rbegin(), kLivelli.rend(),
                                 [&](double livello) { return livello < attuale - kTolleranza; });
    return it != kLivelli.rend() ? *it : std::min(attuale, kLivelli.front());
}

} // namespace ondivo
