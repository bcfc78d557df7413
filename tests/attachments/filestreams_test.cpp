#include "filestreams.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

using namespace ondivo;
using ondivo::test::TempDir;

namespace {

TEST(LeggiFile, ReadsFilesThatReportNoSize) {
    const std::string testo = LeggiFile("/proc/self/status");
    EXPECT_EQ(testo.rfind("Name:\t", 0), 0u);
    EXPECT_EQ(testo.back(), '\n');
}

TEST(LeggiFile, ReadsALargeFileWhole) {
    TempDir dir;
    std::string file(5'000'001, 'A');
    for (std::size_t i = 0; i < file.size(); i += 4099)
        file[i] = static_cast<char>(i);
    EXPECT_EQ(LeggiFile(dir.write("big.xml", file)), file);
}

TEST(LeggiFile, MissingFileRaisesWithTheFullPath) {
    const auto completo = (std::filesystem::current_path() / "no-such-invoice.xml").string();
    try {
        LeggiFile("no-such-invoice.xml");
        FAIL() << "no error";
    } catch (const EFileStreamError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot open file \"" + completo + "\". " + std::strerror(ENOENT));
    }
}

TEST(LeggiFile, FolderRaisesTheReadError) {
    TempDir dir;
    try {
        LeggiFile(dir.path().string());
        FAIL() << "no error";
    } catch (const EFileStreamError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot open file \"" + dir.path().string() + "\". " + std::strerror(EISDIR));
    }
}

// The message LeggiFile raises, or "read" when it returns.
std::string esitoLettura(const std::string& percorso) {
    try {
        LeggiFile(percorso);
        return "read";
    } catch (const EFileStreamError& e) {
        return e.what();
    }
}

TEST(LeggiFile, RefusesADeviceWithoutReadingIt) {
    EXPECT_EQ(esitoLettura("/dev/null"), "Cannot open file \"/dev/null\". Not a regular file");
}

TEST(LeggiFile, RefusesAFifoWithoutWaitingForAWriter) {
    TempDir dir;
    const auto fifo = (dir.path() / "fattura.xml").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto esito = std::async(std::launch::async, [&] { return esitoLettura(fifo); });
    if (esito.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        ADD_FAILURE() << "LeggiFile waits on the FIFO";
        ::close(::open(fifo.c_str(), O_WRONLY)); // a writer that leaves at once ends the wait
    }
    EXPECT_EQ(esito.get(), "Cannot open file \"" + fifo + "\". Not a regular file");
}

TEST(ScriviFile, RelativePathIsReportedInFull) {
    const auto completo = (std::filesystem::current_path() / "no-such-folder" / "a.pdf").string();
    try {
        ScriviFile("no-such-folder/a.pdf", "abc");
        FAIL() << "no error";
    } catch (const EFileStreamError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot create file \"" + completo + "\". " + std::strerror(ENOENT));
    }
}

} // namespace
