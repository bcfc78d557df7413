#pragma once

namespace ondivo::platform {

// True when the program runs with administrator rights (root).
bool EseguitoDaAmministratore();

} // namespace ondivo::platform
