#pragma once

#include "messagesink.h"

#include <optional>
#include <string>

namespace ondivo {

// The page the view shows for an invoice XML file: the format query, the stylesheet choice
// (which updates `fogliostile` only for a known format), the transformation and the folding,
// as Windows-1252 bytes. The file is parsed once for the query and the transformation.
// Nothing when the format query finds nothing (a load error has then been reported through
// `avvisi`). Raises what the query and the transformation raise.
std::optional<std::string> PaginaDaXml(const std::string& xml, std::string& fogliostile,
                                       MessageSink& avvisi);

} // namespace ondivo
