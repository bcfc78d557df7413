#pragma once

#include "esecuzione.h"
#include "lctv.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace ondivo::test {

inline std::string LeggiFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs a helper program (openssl, mostly) in the temporary folder; true when it ended with 0.
inline bool Esegui(const std::vector<std::string>& argomenti) {
    const auto esito = platform::EseguiProgramma(
        argomenti, std::filesystem::temp_directory_path().string(), std::chrono::seconds(60));
    return esito.fine == platform::EsitoProgramma::Fine::Terminato && esito.codiceUscita == 0;
}

// A key and a self-signed certificate made once per test run, to sign envelopes with.
class Firmatario {
public:
    static const Firmatario& get() {
        static const Firmatario firmatario;
        return firmatario;
    }

    // Signs the payload file into an envelope in DER (BER with indefinite lengths when
    // extra holds -stream) and returns its bytes.
    std::string firma(const std::string& payload,
                      const std::vector<std::string>& extra = {}) const {
        const auto out = (m_dir.path() / "envelope.der").string();
        std::vector<std::string> argomenti = {
            ONDIVO_OPENSSL, "cms",     "-sign", "-nodetach", "-binary", "-outform", "DER", "-in",
            payload,        "-signer", m_cert,  "-inkey",    m_key,     "-out",     out};
        argomenti.insert(argomenti.end(), extra.begin(), extra.end());
        EXPECT_TRUE(Esegui(argomenti)) << "openssl cms -sign failed";
        return LeggiFile(out);
    }

private:
    Firmatario()
        : m_key((m_dir.path() / "key.pem").string()), m_cert((m_dir.path() / "cert.pem").string()) {
        EXPECT_TRUE(Esegui({ONDIVO_OPENSSL, "req", "-x509", "-newkey", "ec", "-pkeyopt",
                            "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", m_key, "-out",
                            m_cert, "-subj", "/CN=Ondivo test", "-days", "2"}))
            << "openssl req failed";
    }

    TempDir m_dir;
    std::string m_key;
    std::string m_cert;
};

// Sets an environment variable while it lives, and puts back what was there.
class ScopedEnv {
public:
    ScopedEnv(const char* nome, const std::string& valore) : m_nome(nome) {
        if (const char* prima = std::getenv(nome))
            m_prima = prima;
        ::setenv(nome, valore.c_str(), 1);
    }
    ~ScopedEnv() {
        if (m_prima)
            ::setenv(m_nome, m_prima->c_str(), 1);
        else
            ::unsetenv(m_nome);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_nome;
    std::optional<std::string> m_prima;
};

// A program folder of its own in a temporary folder, made AppDir for the test's length, with
// the user's cache folder (XDG_CACHE_HOME) beside it.
class ProgramFolder {
public:
    ProgramFolder()
        : m_appDir((m_dir.path() / "app").string() + "/"),
          m_cache("XDG_CACHE_HOME", (m_dir.path() / "cache").string()) {
        std::filesystem::create_directories(m_appDir);
        ImpostaAppDir(m_appDir);
    }
    ~ProgramFolder() { ImpostaAppDir(std::string()); }

    const TempDir& dir() const { return m_dir; }
    // The folder of the tool, as the program passes it.
    std::string toolDir() const { return m_appDir + "ossl/"; }
    std::string tool() const { return toolDir() + "openssl"; }
    // Where the program's cache folder is, while the object lives.
    std::filesystem::path cache() const { return m_dir.path() / "cache" / "ondivo"; }
    // True when nothing was put in the cache.
    bool cacheEmpty() const {
        return !std::filesystem::exists(cache()) || std::filesystem::is_empty(cache() / "p7m");
    }

    // ossl/openssl as a link to the real tool.
    void linkRealTool() const {
        std::filesystem::create_directories(m_appDir + "ossl");
        std::filesystem::create_symlink(ONDIVO_OPENSSL, tool());
    }
    // ossl/openssl as a script with the given text.
    void fakeTool(const std::string& testo,
                  std::filesystem::perms permessi = std::filesystem::perms::owner_all) const {
        m_dir.write("app/ossl/openssl", testo);
        std::filesystem::permissions(tool(), permessi);
    }

private:
    TempDir m_dir;
    std::string m_appDir;
    ScopedEnv m_cache;
};

// Points TMPDIR at a folder of the test's own while it lives, so that temporary files left
// behind can be seen.
class ScopedTmpDir {
public:
    explicit ScopedTmpDir(const std::filesystem::path& cartella) : m_cartella(cartella) {
        std::filesystem::create_directories(cartella);
        if (const char* prima = std::getenv("TMPDIR"))
            m_prima = prima;
        ::setenv("TMPDIR", cartella.c_str(), 1);
    }
    ~ScopedTmpDir() {
        if (m_prima)
            ::setenv("TMPDIR", m_prima->c_str(), 1);
        else
            ::unsetenv("TMPDIR");
    }
    bool empty() const { return std::filesystem::is_empty(m_cartella); }

private:
    std::filesystem::path m_cartella;
    std::optional<std::string> m_prima;
};

} // namespace ondivo::test
