#include "privileges.h"

#include <unistd.h>

namespace ondivo::platform {

bool EseguitoDaAmministratore() {
    return ::geteuid() == 0;
}

} // namespace ondivo::platform
