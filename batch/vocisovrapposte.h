#pragma once

#include "files.h"

#include <string>

namespace ondivo {

// Why the entries of a ZIP archive cannot be taken out one by one as they are ("" when they
// can): two entries whose data overlap, or share the same bytes, the trick of archives made to
// unpack to far more than they hold. Read from the archive's central directory; an archive
// whose directory cannot be read is left to the reader, which says what is wrong with it.
std::string MotivoVociSovrapposte(const platform::DescrittoreLettura& archivio);

} // namespace ondivo
