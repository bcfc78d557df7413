#include "tipoeseguibile.h"

#include <algorithm>
#include <string>

namespace ondivo {

const std::vector<std::string_view>& EstensioniEseguibili() {
    static const std::vector<std::string_view> estensioni = {
        // Programs, libraries and installers.
        "exe", "com", "scr", "pif", "cpl", "dll", "ocx", "sys", "drv", "msi", "msp", "mst", "appx",
        "appxbundle", "msix", "msixbundle", "application", "gadget", "jar", "apk", "appimage",
        "run", "deb", "rpm", "bin", "elf", "app", "pkg",
        // Scripts, shortcuts and settings that run something.
        "bat", "cmd", "ps1", "psm1", "psd1", "vbs", "vbe", "js", "jse", "wsf", "wsh", "wsc", "sct",
        "hta", "msc", "lnk", "url", "scf", "inf", "reg", "desktop", "sh", "bash", "zsh", "csh",
        "ksh", "command", "py", "pyw", "pl", "rb", "php", "scpt", "applescript", "mht", "mhtml",
        "xll", "library-ms", "settingcontent-ms",
        // Documents with macros.
        "docm", "dotm", "xlsm", "xltm", "xlsb", "xlam", "xla", "pptm", "potm", "ppsm", "ppam",
        "sldm", "mdb", "accdb", "accde", "mde",
        // Disk images, opened as a folder whose programs then run.
        "iso", "img", "vhd", "vhdx", "dmg"};
    return estensioni;
}

bool TipoEseguibile(std::string_view nome) {
    while (!nome.empty() && (nome.back() == '.' || nome.back() == ' '))
        nome.remove_suffix(1);
    const auto punto = nome.rfind('.');
    if (punto == std::string_view::npos)
        return false;
    std::string estensione(nome.substr(punto + 1));
    std::transform(estensione.begin(), estensione.end(), estensione.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    });
    const auto& tutte = EstensioniEseguibili();
    return std::find(tutte.begin(), tutte.end(), estensione) != tutte.end();
}

} // namespace ondivo
