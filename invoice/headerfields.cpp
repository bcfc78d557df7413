#include "headerfields.h"

#include "elementpath.h"
#include "lctv.h"
#include "text.h"

namespace ondivo {

std::optional<std::string> LeggiCampoIntestazione(const std::string& file,
                                                  const CampoIntestazione& campo,
                                                  std::vector<std::string>& lista,
                                                  MessageSink& avvisi) {
    if (!LeggiValoriXml(file, campo.percorso, lista, avvisi))
        return std::nullopt;
    const std::string valore = UnisciValori(lista);
    return campo.tipoDocumento ? DescrTipoDoc(valore) : valore;
}

} // namespace ondivo
