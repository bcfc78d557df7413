#include "privileges.h"
#include "largo_windows.h"

namespace ondivo::platform {

bool EseguitoDaAmministratore() {
    HANDLE grezzo = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &grezzo))
        return false;
    const UniqueHandle token(grezzo);
    TOKEN_ELEVATION elevazione{};
    DWORD dimensione = 0;
    return GetTokenInformation(token.get(), TokenElevation, &elevazione, sizeof elevazione,
                               &dimensione) &&
           elevazione.TokenIsElevated != 0;
}

} // namespace ondivo::platform
