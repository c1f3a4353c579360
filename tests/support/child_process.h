// Running our own programs (tlw, the test writer) and the independent readers (mdbtools,
// node) from tests: run to completion capturing output, or start one with its standard output
// on a pipe so a test can read what it reported and kill it at a moment of its choosing.
#pragma once

#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testsupport {

struct ProcessResult {
    int exit_code = -1;   // -signal when killed by one
    std::string out, err;
};

// Runs argv[0] (looked up in PATH when it has no slash) and waits for it.
ProcessResult run_process(const std::vector<std::string>& argv);

class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& argv);  // standard error goes to the test's
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    void kill_now();             // SIGKILL
    int interrupt();             // SIGINT, as Ctrl-C; then wait()
    bool running();              // reads what is available; false once it has ended
    int wait();                  // exit code, or -signal; reads the rest of the output first
    const std::string& output(); // everything printed so far (reads what is available)

private:
    void drain(bool block);
    pid_t pid_ = -1;
    int out_fd_ = -1;
    int status_ = -1;
    bool reaped_ = false;
    std::string out_;
};

// A fresh, empty directory under the test temp dir, unique to this process and name.
std::filesystem::path fresh_dir(const std::string& name);
// Copies a fixture (path relative to TALLIMO_FIXTURES) into `dir`, writable, and returns the copy.
std::filesystem::path copy_fixture(const std::string& relative, const std::filesystem::path& dir);

}  // namespace testsupport
