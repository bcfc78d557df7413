#pragma once

#include <string>

namespace ondivo {

// The XML file that EstraiXmlDaP7m writes for an envelope: the envelope's path without its
// last extension (fattura.xml.p7m gives fattura.xml, FATTURA.P7M gives FATTURA), letter case
// kept; a path whose last name has no dot comes back unchanged.
std::string PercorsoXmlDaP7m(const std::string& p7m);

// True when the extension of the path's last name (from its last dot on) is ".p7m" in any
// letter case: the test by which opening a file decides to unwrap it.
bool IsEnvelope(const std::string& percorso);

} // namespace ondivo
