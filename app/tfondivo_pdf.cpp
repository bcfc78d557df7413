#include "tfondivo.h"

namespace ondivo {

void TFONDIVO::esportaPdfClick() {}

} // namespace ondivo
