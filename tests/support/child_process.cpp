#include "support/child_process.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {
namespace {

std::vector<char*> c_args(const std::vector<std::string>& argv) {
    std::vector<char*> out;
    for (const auto& a : argv) out.push_back(const_cast<char*>(a.c_str()));
    out.push_back(nullptr);
    return out;
}

void read_all(int fd, std::string& into) {
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        into.append(buf, static_cast<std::size_t>(n));
    }
}

int decode_status(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return -WTERMSIG(status);
    return -1;
}

}  // namespace

ProcessResult run_process(const std::vector<std::string>& argv) {
    // Output goes to temporary files: two pipes read one after the other could deadlock.
    FILE* out = std::tmpfile();
    FILE* err = std::tmpfile();
    if (!out || !err) throw std::runtime_error("cannot create temporary files");
    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        ::dup2(::fileno(out), 1);
        ::dup2(::fileno(err), 2);
        auto args = c_args(argv);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    ProcessResult result;
    result.exit_code = decode_status(status);
    for (auto [file, text] : {std::pair{out, &result.out}, std::pair{err, &result.err}}) {
        std::rewind(file);
        read_all(::fileno(file), *text);
        std::fclose(file);
    }
    return result;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        ::dup2(fds[1], 1);
        auto args = c_args(argv);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    out_fd_ = fds[0];
    ::fcntl(out_fd_, F_SETFL, O_NONBLOCK);
}

ChildProcess::~ChildProcess() {
    if (!reaped_) {
        kill_now();
        wait();
    }
    if (out_fd_ >= 0) ::close(out_fd_);
}

void ChildProcess::kill_now() {
    if (!reaped_) ::kill(pid_, SIGKILL);
}

void ChildProcess::drain(bool block) {
    for (;;) {
        char buf[65536];
        const ssize_t n = ::read(out_fd_, buf, sizeof buf);
        if (n > 0) {
            out_.append(buf, static_cast<std::size_t>(n));
            continue;
        }
        if (n == 0) return;  // the child closed its end
        if (errno == EINTR) continue;
        if (errno != EAGAIN || !block) return;
        pollfd p{out_fd_, POLLIN, 0};
        ::poll(&p, 1, -1);
    }
}

int ChildProcess::interrupt() {
    if (!reaped_) ::kill(pid_, SIGINT);
    return wait();
}

bool ChildProcess::running() {
    drain(false);
    if (reaped_) return false;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) != pid_) return true;
    drain(true);
    status_ = decode_status(status);
    reaped_ = true;
    return false;
}

const std::string& ChildProcess::output() {
    drain(false);
    return out_;
}

int ChildProcess::wait() {
    if (!reaped_) {
        drain(true);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {}
        status_ = decode_status(status);
        reaped_ = true;
    }
    return status_;
}

std::filesystem::path fresh_dir(const std::string& name) {
    const auto dir = std::filesystem::path(::testing::TempDir()) /
                     ("tallimo-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

std::filesystem::path copy_fixture(const std::string& relative, const std::filesystem::path& dir) {
    const std::filesystem::path from = std::filesystem::path(TALLIMO_FIXTURES) / relative;
    const std::filesystem::path to = dir / from.filename();
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(to, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    return to;
}

}  // namespace testsupport
