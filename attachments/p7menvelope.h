#pragma once

#include <chrono>
#include <string>

namespace ondivo {

// How long the signature tool may run before it is ended and the extraction fails.
inline constexpr std::chrono::milliseconds AttesaMassimaOpenSsl = std::chrono::seconds(120);

// Unwraps a signed envelope (CMS signed data, DER; also the same written as Base64 text) with
// the OpenSSL tool in the program's ossl folder, whose output, the signed content, is put
// next to the envelope at PercorsoXmlDaP7m(p7m). xml is set to that path before anything
// else. Returns true, with a file at xml, or raises an OndivoError whose message is the
// user's: the envelope or the tool missing, the tool not starting, failing or not ending in
// time, no output written, or the output not placed (a symbolic link at xml is refused, never
// written through). A file already at xml is neither removed beforehand nor after a failure.
bool EstraiXmlDaP7m(const std::string& p7m, std::string& xml,
                    std::chrono::milliseconds attesaMassima = AttesaMassimaOpenSsl);

// The XML file that opening the chosen file reads: the file itself, or for an envelope
// (IsEnvelope) the XML extracted from it, whose errors pass unchanged.
std::string XmlPathToOpen(const std::string& scelto);

} // namespace ondivo
