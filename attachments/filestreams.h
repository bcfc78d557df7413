#pragma once

#include "errors.h"

#include <string>
#include <string_view>

namespace ondivo {

// Whole-file reading and writing; the system calls live in filestreams_<platform>.cpp.

// A file that could not be opened, read, created or written. The message names the file by
// its full path and adds the system's reason: "Cannot open file "%s". %s",
// "Cannot create file "%s". %s", or "Stream write error".
class EFileStreamError : public OndivoError {
public:
    using OndivoError::OndivoError;
};

inline constexpr const char* MsgErroreScrittura = "Stream write error";
inline constexpr const char* MsgNonFileRegolare = "Not a regular file";

// The whole file, read once until its end. Throws EFileStreamError "Cannot open file ..." when
// opening or reading fails, and for anything but a regular file (a FIFO or a device, whose
// reading may block or never end), without reading it.
std::string LeggiFile(const std::string& percorso);

// Creates the file or replaces an existing one and writes all of `dati`, even none. A symbolic
// link at the path is refused rather than followed. Throws EFileStreamError: "Cannot create
// file ..." when the file cannot be created, "Stream write error" when writing fails (the
// partly written file stays).
void ScriviFile(const std::string& percorso, std::string_view dati);

} // namespace ondivo
