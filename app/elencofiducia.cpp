#include "elencofiducia.h"

namespace ondivo {

QString SintesiElenco(const ElencoFiducia& elenco, std::size_t certificatori) {
    return QString::fromStdString(SintesiElencoFiducia(elenco, certificatori));
}

QString RigaElencoSalvato(const ElencoFiducia& salvato, std::size_t certificatori) {
    if (salvato.territorio.empty() && certificatori == 0)
        return QStringLiteral("Nessun elenco di fiducia importato");
    const std::string avviso = AvvisoAggiornamentoElenco(salvato);
    return QStringLiteral("Elenco di fiducia in uso: ") + SintesiElenco(salvato, certificatori) +
           (avviso.empty() ? QString() : QStringLiteral(" — ") + QString::fromStdString(avviso));
}

} // namespace ondivo
