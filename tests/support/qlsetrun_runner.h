// Runs the qlsetrun program as a user would, for the runner's tests: its
// output, its exit code, and a scratch folder for --out and machine images.
#ifndef QL_TESTS_QLSETRUN_RUNNER_H
#define QL_TESTS_QLSETRUN_RUNNER_H

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

struct RunResult {
    int exitCode;
    std::string output;
};

// `redirect` ends the shell command: " 2>&1" keeps what qlsetrun says on
// standard error, " 2>/dev/null" only the report.
inline RunResult Qlsetrun(const std::string &args, const char *redirect = " 2>&1") {
    std::string command = std::string(QLSETRUN_PATH) + " " + args + redirect;
    RunResult r{-1, ""};
    FILE *p = popen(command.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.output.append(buf, n);
    int status = pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

inline bool Has(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

// A folder under /tmp, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir() {
        char tmpl[] = "/tmp/qlsetrun-XXXXXX";
        const char *made = mkdtemp(tmpl);
        dir_ = made ? made : "";
    }
    ~TempDir() {
        std::error_code ec;
        if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::string &Dir() const { return dir_; }
    const std::string &Path() const { return dir_; }
    std::string Path(const std::string &rel) const { return (std::filesystem::path(dir_) / rel).string(); }
    void Write(const std::string &rel, const std::string &text) {
        std::filesystem::create_directories(std::filesystem::path(Path(rel)).parent_path());
        std::ofstream(Path(rel), std::ios::binary) << text;
    }
    void Fifo(const std::string &rel) {
        std::filesystem::create_directories(std::filesystem::path(Path(rel)).parent_path());
        ASSERT_EQ(mkfifo(Path(rel).c_str(), 0600), 0);
    }
    std::string Read(const std::string &rel) const {
        std::ifstream in(Path(rel), std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

private:
    std::string dir_;
};

#endif
