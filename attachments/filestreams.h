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

// A file written piece by piece, with ScriviFile's rules and messages: created or replaced on
// construction, a symbolic link refused. Chiudi() closes it and reports a late write error;
// a file left unclosed (an exception on the way) is closed quietly and stays as written.
class TFileScrittura {
public:
    explicit TFileScrittura(const std::string& percorso);
    ~TFileScrittura();
    TFileScrittura(const TFileScrittura&) = delete;
    TFileScrittura& operator=(const TFileScrittura&) = delete;

    void Scrivi(std::string_view dati);
    void Chiudi();

private:
    int m_fd = -1; // the system's handle
};

} // namespace ondivo
