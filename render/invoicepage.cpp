#include "invoicepage.h"

#include "accentfolding.h"
#include "ansicodec.h"
#include "elementpath.h"
#include "headerfields.h"
#include "stylesheetchoice.h"
#include "text.h"
#include "transform.h"

namespace ondivo {

std::optional<std::string> PaginaDaXml(const std::string& xml, std::string& fogliostile,
                                       MessageSink& avvisi) {
    XmlDocPtr fattura = CaricaPerQuery(xml, avvisi);
    std::vector<std::string> formato;
    if (!fattura || !LeggiValoriDoc(fattura.get(), PercorsoFormato, formato))
        return std::nullopt;
    ScegliFoglioStile(UnisciValori(formato), fogliostile);
    std::string html;
    TrasformaXml(std::move(fattura), fogliostile, html);
    return Utf8ToAnsi(PiegaAccenti(std::move(html)));
}

} // namespace ondivo
