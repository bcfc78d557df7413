#include "cancelflag.h"
#include "esecuzione.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace ondivo::platform;
using namespace std::chrono_literals;
using ondivo::test::CancelFromAnotherThread;
using ondivo::test::ProcessEnded;
using ondivo::test::TempDir;
using Fine = EsitoProgramma::Fine;
namespace fs = std::filesystem;

namespace {

std::string leggi(const fs::path& file) {
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// ---------------------------------------------------------------------------------------------
// How a program ends, or fails to start.

struct EndCase {
    const char* name;
    std::vector<std::string> argv; // "{dir}" stands for the test's folder
    Fine fine;
    std::uint32_t code = 0;
    std::string folder = "{dir}";
};

void PrintTo(const EndCase& c, std::ostream* os) {
    *os << c.name;
}

class EndTest : public testing::TestWithParam<EndCase> {};

TEST_P(EndTest, ReportsHowTheProgramEnded) {
    const auto& c = GetParam();
    TempDir dir;
    dir.write("plain", "#!/bin/sh\nexit 0\n"); // not executable
    const auto sostituisci = [&](std::string s) {
        if (const auto pos = s.find("{dir}"); pos != std::string::npos)
            s.replace(pos, 5, dir.path().string());
        return s;
    };
    std::vector<std::string> argv;
    for (const auto& a : c.argv)
        argv.push_back(sostituisci(a));
    const auto esito = EseguiProgramma(argv, sostituisci(c.folder), 30s);
    EXPECT_EQ(esito.fine, c.fine);
    if (c.fine == Fine::Terminato) {
        EXPECT_EQ(esito.codiceUscita, c.code);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Programs, EndTest,
    testing::Values(
        EndCase{"exit0", {"/bin/sh", "-c", "exit 0"}, Fine::Terminato, 0},
        EndCase{"exit2", {"/bin/sh", "-c", "exit 2"}, Fine::Terminato, 2},
        EndCase{"exit255", {"/bin/sh", "-c", "exit 255"}, Fine::Terminato, 255},
        EndCase{"killed", {"/bin/sh", "-c", "kill -KILL $$"}, Fine::Terminato, 128 + SIGKILL},
        EndCase{"terminated", {"/bin/sh", "-c", "kill -TERM $$"}, Fine::Terminato, 128 + SIGTERM},
        EndCase{"aborted", {"/bin/sh", "-c", "kill -ABRT $$"}, Fine::Terminato, 128 + SIGABRT},
        EndCase{
            "argumentsPassedAsTheyAre",
            {"/bin/sh", "-c", "[ \"$1\" = 'a b;$(x)' ] && [ \"$2\" = '' ]", "sh", "a b;$(x)", ""},
            Fine::Terminato,
            0},
        EndCase{"missingProgram", {"/nonexistent/program"}, Fine::NonAvviato},
        EndCase{"notExecutable", {"{dir}/plain"}, Fine::NonAvviato},
        EndCase{"aFolder", {"{dir}"}, Fine::NonAvviato},
        EndCase{"pathNotSearched", {"sh", "-c", "exit 0"}, Fine::NonAvviato},
        EndCase{
            "missingWorkingFolder", {"/bin/sh", "-c", "exit 0"}, Fine::NonAvviato, 0, "{dir}/none"},
        EndCase{"noArguments", {}, Fine::NonAvviato}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// What the program finds when it starts.

// Runs a shell command that writes into the file "out" of the folder, and returns that file.
std::string inspect(const TempDir& dir, const std::string& comando) {
    const auto esito = EseguiProgramma({"/bin/sh", "-c", comando}, dir.path().string(), 30s);
    EXPECT_EQ(esito.fine, Fine::Terminato);
    EXPECT_EQ(esito.codiceUscita, 0u);
    return leggi(dir.path() / "out");
}

TEST(EseguiProgramma, StartsInTheWorkingFolder) {
    TempDir dir;
    EXPECT_EQ(inspect(dir, "pwd -P > out"), fs::canonical(dir.path()).string() + "\n");
}

TEST(EseguiProgramma, GivesTheProgramNoStandardStreams) {
    TempDir dir;
    // Read while the shell's own streams are untouched; only then redirect.
    EXPECT_EQ(inspect(dir, "r=; for f in 0 1 2; do r=\"$r $(readlink /proc/$$/fd/$f)\"; done; "
                           "echo \"$r\" > out"),
              " /dev/null /dev/null /dev/null\n");
}

TEST(EseguiProgramma, InheritsNoOtherDescriptor) {
    TempDir dir;
    const int fd = ::open(dir.write("held", "x").c_str(), O_RDONLY); // no O_CLOEXEC
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::dup2(fd, 57), 57);
    const auto visto =
        inspect(dir, "if [ -e /proc/$$/fd/57 ]; then echo open; else echo closed; fi > out");
    ::close(57);
    ::close(fd);
    EXPECT_EQ(visto, "closed\n");
}

TEST(EseguiProgramma, PassesTheEnvironment) {
    TempDir dir;
    ::setenv("ONDIVO_PROCESS_TEST", "valore con spazi", 1);
    EXPECT_EQ(inspect(dir, "printf %s \"$ONDIVO_PROCESS_TEST\" > out"), "valore con spazi");
    ::unsetenv("ONDIVO_PROCESS_TEST");
}

// A caller that ignores or blocks a signal must not pass that on.
TEST(EseguiProgramma, StartsWithDefaultSignalHandling) {
    sigset_t blocco;
    sigemptyset(&blocco);
    sigaddset(&blocco, SIGTERM);
    sigset_t prima;
    ASSERT_EQ(sigprocmask(SIG_BLOCK, &blocco, &prima), 0);
    const auto gestorePrima = std::signal(SIGINT, SIG_IGN);

    const auto termina = EseguiProgramma({"/bin/sh", "-c", "kill -TERM $$; exit 0"}, "/", 30s);
    const auto interrompe = EseguiProgramma({"/bin/sh", "-c", "kill -INT $$; exit 0"}, "/", 30s);

    std::signal(SIGINT, gestorePrima);
    sigprocmask(SIG_SETMASK, &prima, nullptr);
    EXPECT_EQ(termina.codiceUscita, 128u + SIGTERM);
    EXPECT_EQ(interrompe.codiceUscita, 128u + SIGINT);
}

// ---------------------------------------------------------------------------------------------
// Cancellation: a flag set from another thread ends the wait.

struct CancelCase {
    const char* name;
    std::string script; // "{ready}" is the FIFO through which the program says it runs
    bool setBeforeTheCall;
    Fine fine;
    std::uint32_t code = 0;
    std::chrono::milliseconds wait = 600s;
};

void PrintTo(const CancelCase& c, std::ostream* os) {
    *os << c.name;
}

class CancelTest : public testing::TestWithParam<CancelCase> {};

// The long wait stands for the tool's own: a call that ends with Annullato has not waited for
// it.
TEST_P(CancelTest, EndsTheProgramAndAllItStarted) {
    const auto& c = GetParam();
    TempDir dir;
    CancelFromAnotherThread annulla(dir.path());
    if (c.setBeforeTheCall)
        annulla.flag.store(true);
    std::string script = c.script;
    for (auto pos = script.find("{ready}"); pos != std::string::npos; pos = script.find("{ready}"))
        script.replace(pos, 7, (dir.path() / "ready").string());

    const auto esito =
        EseguiProgramma({"/bin/sh", "-c", script}, dir.path().string(), c.wait, &annulla.flag);
    const pid_t lasciato = annulla.release();

    EXPECT_EQ(esito.fine, c.fine);
    if (c.fine == Fine::Terminato) {
        EXPECT_EQ(esito.codiceUscita, c.code);
    }
    if (lasciato > 0) {
        EXPECT_TRUE(ProcessEnded(lasciato)) << "a process of the program is still running";
    }
    if (c.setBeforeTheCall) {
        EXPECT_FALSE(fs::exists(dir.path() / "started")) << "started although the flag was set";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Flags, CancelTest,
    testing::Values(
        CancelCase{"setWhileItWaitsForItsChild", "sleep 600 & echo $! > {ready}; wait", false,
                   Fine::Annullato},
        CancelCase{"setWhileAGrandchildRuns",
                   "/bin/sh -c 'sleep 600 & echo $! > {ready}; wait' & wait", false,
                   Fine::Annullato},
        CancelCase{"setWhileItIgnoresTerm", "trap '' TERM; sleep 600 & echo $! > {ready}; wait",
                   false, Fine::Annullato},
        CancelCase{"setBeforeTheCall", "touch started; exit 0", true, Fine::Annullato},
        CancelCase{"neverSet", "exit 3", false, Fine::Terminato, 3},
        CancelCase{"neverSetAndTheWaitRunsOut", "sleep 600", false, Fine::Scaduto, 0, 200ms}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// The time-out.

TEST(EseguiProgramma, EndsWhatTheProgramStartedToo) {
    TempDir dir;
    // The shell records its child's id and waits for it; the time-out must end both.
    const auto esito =
        EseguiProgramma({"/bin/sh", "-c", "sleep 600 & echo $! > pid.tmp && mv pid.tmp pid; wait"},
                        dir.path().string(), 1s);
    EXPECT_EQ(esito.fine, Fine::Scaduto);
    const auto testo = leggi(dir.path() / "pid");
    ASSERT_FALSE(testo.empty()) << "the shell did not get to start its child in time";
    EXPECT_TRUE(ProcessEnded(std::stoi(testo))) << "the child is still running";
}

} // namespace
