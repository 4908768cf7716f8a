// The pxlog program itself: exit codes, and which stream each kind of text goes to.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/wait.h>

#include "pxlog_support.h"

namespace {

struct ProgramRow {
    const char* name;
    std::string arguments;  // shell words after the program
    int code;
    bool out;  // something on standard output
    bool err;  // something on standard error
};

TEST(PxlogProgram, ExitCodesAndStreams)
{
    ScratchFolder folder;
    std::string good = folder.Path("good.dat");
    std::string refused = folder.Path("refused.dat");
    std::string findings = folder.Path("findings.dat");
    WriteWholeFile(good, LogBuilder().Header(1).Folder("C:\\App").Bytes());
    WriteWholeFile(refused, LogBuilder().Header(1).Entry(7, "C:\\App").Bytes());
    WriteWholeFile(findings, LogBuilder().Header(1).Folder("App").Bytes());
    const ProgramRow rows[] = {
        {"no command", "", 2, false, true},
        {"tool help", "--help", 0, true, false},
        {"unknown command", "frobnicate", 2, false, true},
        {"make help", "make --help", 0, true, false},
        {"show help", "show --help", 0, true, false},
        {"check help", "check --help", 0, true, false},
        {"plan help", "plan --help", 0, true, false},
        {"unknown option", "check '" + good + "' --force", 2, false, true},
        {"option without its value", "check '" + good + "' --install-dir", 2, false, true},
        {"missing log", "check '" + folder.Path("none.dat") + "'", 2, false, true},
        {"clean log", "check '" + good + "'", 0, true, false},
        {"log with findings", "check '" + findings + "'", 1, true, false},
        {"refused log", "check '" + refused + "'", 2, true, false},
        {"plan without a root", "plan '" + good + "'", 2, false, true},
        {"make from nothing", "make '" + folder.Path("new.dat") + "' < /dev/null", 0, true, false},
    };
    for (const ProgramRow& row : rows) {
        SCOPED_TRACE(row.name);
        std::string out = folder.Path("stdout.txt"), err = folder.Path("stderr.txt");
        std::string command = std::string("'") + PXLOG_PROGRAM + "' " + row.arguments + " > '" + out +
                              "' 2> '" + err + "'";
        int status = system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), row.code);
        EXPECT_EQ(!ReadWholeFile(out).empty(), row.out) << ReadWholeFile(out);
        EXPECT_EQ(!ReadWholeFile(err).empty(), row.err) << ReadWholeFile(err);
    }
}

}  // namespace
