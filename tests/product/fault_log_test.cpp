// The fault log the sweep report is made from: an injected failure that a
// call takes is logged with the test and the library function that made the
// call, and a failure the test's own call takes names no library function.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/machine.h>

#include "system/Computer.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

class FaultLog : public ::testing::Test {
protected:
    void SetUp() override {
        const char *was = getenv("WINSIM_FAULT_LOG");
        saved_ = was ? was : "";
        hadLog_ = was != nullptr;
        path_ = ::testing::TempDir() + "faultlog-" + std::to_string(getpid()) + ".txt";
        std::remove(path_.c_str());
        setenv("WINSIM_FAULT_LOG", path_.c_str(), 1);
    }
    void TearDown() override {
        if (hadLog_)
            setenv("WINSIM_FAULT_LOG", saved_.c_str(), 1);
        else
            unsetenv("WINSIM_FAULT_LOG");
        std::remove(path_.c_str());
    }
    std::string Logged() {
        std::ifstream in(path_);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::string path_, saved_;
    bool hadLog_ = false;
};

TEST_F(FaultLog, NamesTheTestAndTheLibraryFunctionThatMadeTheCall) {
    winsim::LocalMachine().MakeDirs("C:\\Data");
    winsim::InjectFault("FindFirstFileA", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(CComputer::DirectoryExists("C:\\Data"));
    EXPECT_EQ(Logged(), "FindFirstFileA\tFaultLog.NamesTheTestAndTheLibraryFunctionThatMadeTheCall\t"
                        "CComputer::DirectoryExists\n");
}

TEST_F(FaultLog, AFailureOfTheTestsOwnCallNamesNoLibraryFunction) {
    winsim::InjectFault("GetTickCount", ERROR_ACCESS_DENIED, winsim::FaultMode::Nth, 2);
    GetTickCount();
    EXPECT_EQ(Logged(), "");  // the first call ran
    GetTickCount();
    EXPECT_EQ(Logged(), "GetTickCount\tFaultLog.AFailureOfTheTestsOwnCallNamesNoLibraryFunction\t-\n");
}

TEST_F(FaultLog, WithoutALogNothingIsWritten) {
    unsetenv("WINSIM_FAULT_LOG");
    winsim::InjectFault("FindFirstFileA", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(CComputer::DirectoryExists("C:\\Data"));
    std::ifstream in(path_);
    EXPECT_FALSE(in.good());
}

}  // namespace
