#include "filestreams.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

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
