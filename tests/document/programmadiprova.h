#pragma once

// A program folder for the open tests, with stylesheets of the tests' own.

#include "lctv.h"
#include "stylesheetchoice.h"
#include "tempdir.h"

#include <functional>
#include <string>

namespace ondivo::test {

// Each stylesheet writes its format, the invoice's number and two letters the folding turns
// into plain pairs.
inline std::string FoglioConNumero(const std::string& formato) {
    return "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
           "<xsl:output method=\"html\"/><xsl:template match=\"/\"><html><body><p>foglio " +
           formato +
           " \xC3\xA8 \xE2\x82\xAC</p><p><xsl:value-of select=\"//*[local-name()='Numero']\"/>"
           "</p></body></html></xsl:template></xsl:stylesheet>";
}

// A stylesheet that writes every text of the tree it is given.
inline std::string FoglioConTuttoIlTesto(const std::string&) {
    return "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
           "<xsl:output method=\"html\"/><xsl:template match=\"/\"><html><body><p>"
           "<xsl:value-of select=\"/\"/></p></body></html></xsl:template></xsl:stylesheet>";
}

// A program folder with the three stylesheets and the messages' one, made AppDir while it
// lives.
class ProgrammaDiProva {
public:
    explicit ProgrammaDiProva(
        const std::function<std::string(const std::string&)>& foglio = FoglioConNumero) {
        ImpostaAppDir(m_dir.path().string() + "/");
        for (const auto& riga : FogliStile)
            m_dir.write(std::string("FODISTILE/") + riga.file, foglio(riga.formato));
        m_dir.write(std::string("FODISTILE/") + FileFoglioStileMessaggi, foglio("SdI"));
    }
    ~ProgrammaDiProva() { ImpostaAppDir(std::string()); }
    ProgrammaDiProva(const ProgrammaDiProva&) = delete;
    ProgrammaDiProva& operator=(const ProgrammaDiProva&) = delete;

    const TempDir& dir() const { return m_dir; }
    std::string foglioDi(const char* formato) const {
        for (const auto& riga : FogliStile)
            if (std::string(riga.formato) == formato)
                return AppDir() + DirFogliStile + riga.file;
        return {};
    }

private:
    TempDir m_dir;
};

} // namespace ondivo::test
