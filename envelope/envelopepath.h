#pragma once

#include <string>

namespace ondivo {

// The XML file beside an envelope that EstraiXmlDaP7m writes: the envelope's path without its
// last extension (fattura.xml.p7m gives fattura.xml, FATTURA.P7M gives FATTURA), letter case
// kept. A name that would be left empty, "." or ".." (".p7m", "..p7m") gets ".xml" appended
// instead (".p7m.xml"); a path whose last name has no dot comes back unchanged.
std::string PercorsoXmlDaP7m(const std::string& p7m);

// Where the XML of an envelope goes when it cannot go beside it: the user's cache folder +
// "p7m/" + a short hex hash of the envelope's absolute path + "/" + the file name of
// PercorsoXmlDaP7m(p7m). So each envelope has its own folder, the same at every open. Empty
// when the user has no cache folder.
std::string PercorsoXmlInCache(const std::string& p7m);

// True when the extension of the path's last name (from its last dot on) is ".p7m" in any
// letter case: the test by which opening a file decides to unwrap it.
bool IsEnvelope(const std::string& percorso);

} // namespace ondivo
