// A large event run headless with --fast: 26 sections of 30 tables, 26 rounds of 3 boards,
// from log-on through player numbers to "All Done". Prints wall time, steps and records per
// second and the runner's peak memory.
// Usage: event_bench [SECTIONS TABLES ROUNDS BOARDS [MEMBER_NUMBERS 1|0]]
#include "db/database.h"
#include "event/event_builder.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

fs::path program_folder() { return fs::read_symlink("/proc/self/exe").parent_path(); }

// Runs a program with its standard output in `out`; returns its exit status and usage.
int run(const std::vector<std::string>& argv, const fs::path& out, rusage& usage) {
    std::fflush(stdout);  // the child must not write our buffered lines again
    const pid_t pid = fork();
    if (pid == 0) {
        if (!std::freopen(out.c_str(), "w", stdout)) _exit(126);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    wait4(pid, &status, 0, &usage);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

int bench(const std::vector<int>& shape);

int main(int argc, char** argv) {
    std::vector<int> shape{26, 30, 26, 3, 1};
    for (int i = 1; i < argc; ++i) {
        char* end = nullptr;
        const long n = std::strtol(argv[i], &end, 10);
        if (i > 5 || *end != '\0' || end == argv[i]) {
            std::fprintf(stderr, "Usage: event_bench [SECTIONS TABLES ROUNDS BOARDS [MEMBER_NUMBERS 1|0]]\n"
                                 "Plays an event (default 26 30 26 3 1) headless with --fast and prints its figures.\n");
            return std::string(argv[i]) == "--help" || std::string(argv[i]) == "-h" ? 0 : 2;
        }
        shape[static_cast<std::size_t>(i - 1)] = static_cast<int>(n);
    }
    try {
        return bench(shape);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "event_bench: %s\n", e.what());
        return 1;
    }
}

int bench(const std::vector<int>& shape) {
    const fs::path dir = fs::temp_directory_path() / ("event-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path event = dir / "bench.tlw";
    const fs::path members = dir / "TLPlayerDB.mdb";
    const fs::path bin = program_folder();
    rusage usage{};

    event::EventRequest request;
    request.sections = shape[0];
    request.movement = {event::MovementKind::Mitchell, shape[1], shape[2], shape[3], false};
    request.member_numbers = shape[4] != 0;
    const auto built = std::chrono::steady_clock::now();
    event::build_event(event.string(), request);
    event::build_member_database(members.string(), shape[0] * shape[1] * 4, jet::FileVersion::Jet4);
    std::printf("prepared in %.2f s\n", std::chrono::duration<double>(std::chrono::steady_clock::now() - built).count());

    const auto start = std::chrono::steady_clock::now();
    const int status = run({(bin / "tallimo-sim-headless").string(), "/f:[" + event.string() + "]", "--fast",
                            "--seed", "1", "--exit-when-done", "--members", members.string()},
                           dir / "log.txt", usage);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (status != 0) {
        std::fprintf(stderr, "tallimo-sim-headless failed with status %d\n", status);
        return 1;
    }

    // One step per tick: "Begin", each log-on, each table's player numbers, each table's round.
    long steps = 1;
    std::ifstream log(dir / "log.txt");
    for (std::string line; std::getline(log, line);)
        if (line.starts_with("Log on ") || line.starts_with("Player numbers ") || line.starts_with("Results for "))
            ++steps;
    long records = 0;
    {
        auto database = db::Database::open(event.string());
        for (auto set = database.open_recordset("ReceivedData"); !set.at_end(); set.move_next()) ++records;
    }

    std::printf("event: %d sections x %d tables, %d rounds of %d boards, member numbers %s\n", shape[0], shape[1],
                shape[2], shape[3], shape[4] != 0 ? "on" : "off");
    std::printf("wall time: %.2f s\n", seconds);
    std::printf("steps: %ld (%.0f per second)\n", steps, static_cast<double>(steps) / seconds);
    std::printf("records: %ld (%.0f per second)\n", records, static_cast<double>(records) / seconds);
    const auto seconds_of = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    std::printf("cpu time: %.2f s user, %.2f s system\n", seconds_of(usage.ru_utime), seconds_of(usage.ru_stime));
    std::printf("peak memory: %.1f MiB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
    fs::remove_all(dir);
    return 0;
}
