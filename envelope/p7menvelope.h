#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <string_view>

namespace ondivo {

// How long the signature tool may run before it is ended and the extraction fails.
inline constexpr std::chrono::milliseconds AttesaMassimaOpenSsl = std::chrono::seconds(120);

// Envelopes found inside envelopes are unwrapped up to this depth, the outer one included.
inline constexpr int LivelliMassimiBuste = 3;

// The content of an envelope already read (`busta`, the bytes of the file `p7m`), unwrapped
// with the OpenSSL tool in cartellaStrumento, in memory: the tool works on a private copy, and
// nothing is written anywhere else. The forms, the nesting, the exit codes, the time-out and the
// cancellation are those of EstraiXmlDaP7m, with its messages; a ".p7m" that is plain XML is
// its own content.
std::string ContenutoBusta(std::string_view busta, const std::string& p7m,
                           const std::string& cartellaStrumento,
                           std::chrono::milliseconds attesaMassima = AttesaMassimaOpenSsl,
                           const std::atomic<bool>* annulla = nullptr);

// Unwraps a signed envelope with the OpenSSL tool in cartellaStrumento (a folder path ending in
// "/", where the tool also runs) and sets xml to
// the file that holds its content, the invoice's XML. Returns true, with a file at xml, or
// raises an OndivoError whose message is the user's.
//
// The envelope is CMS signed data in DER, or the same as Base64 text (perhaps Base64 of
// Base64) or PEM, a UTF-8 BOM allowed before the text. A content that is itself an envelope,
// in any of these forms, is unwrapped in turn. A ".p7m" that is plain XML (its first byte
// after a BOM and blanks is "<") is no envelope: xml is the file itself and no tool runs.
//
// The tool writes into a private temporary folder. Only when it ends with 0 or 4 (4: the
// signature did not verify; the content is still shown) and wrote something is the content
// placed, at PercorsoXmlDaP7m(p7m) when that name is free or already holds the same bytes,
// else (another file, a symbolic link or anything else there, or a folder that takes no new
// file) at PercorsoXmlInCache(p7m). A file beside the envelope is never replaced; every
// failure, time-out and cancellation places nothing. xml names PercorsoXmlDaP7m(p7m) until
// the content is placed, so that the messages can name it.
//
// When annulla is given and becomes true (from another thread) the tool is ended and
// EAnnullata is raised. The file is read once, its content taken out of those bytes
// (ContenutoBusta) and placed (CollocaXmlEstratto).
bool EstraiXmlDaP7m(const std::string& p7m, std::string& xml, const std::string& cartellaStrumento,
                    std::chrono::milliseconds attesaMassima = AttesaMassimaOpenSsl,
                    const std::atomic<bool>* annulla = nullptr);

// Puts the content extracted from the envelope p7m where EstraiXmlDaP7m says and returns that
// path. Errors: the file layer's (EFileStreamError) when the cache copy cannot be written, an
// OndivoError when the cache folder cannot be made or the user has none.
std::string CollocaXmlEstratto(const std::string& p7m, std::string_view contenuto);

} // namespace ondivo
