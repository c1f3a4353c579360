// The headless run loop: the window's command line parsed (the "/f:[PATH]" switch plus our
// options), one tick after another at the pace (or back to back with --fast), Ctrl-C taken
// between two ticks as the Stop button, and the exit status from how the run ended.
#include "headless/headless.h"

#include "headless/headless_host.h"
#include "run/command_line.h"
#include "run/simulator.h"

#include <CLI/CLI.hpp>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace headless {
namespace {

volatile std::sig_atomic_t stop_requested = 0;

void on_interrupt(int) { stop_requested = 1; }

struct Options {
    std::string database;
    double pace = 1;
    bool fast = false;
    std::optional<std::uint32_t> seed;
    std::string members;
    bool exit_when_done = false;
};

// The arguments as one text, as the window sees its command line; the arguments that make
// up the "/f:[" ... "]" switch are taken out of what the option parser sees.
std::vector<std::string> split_switch(const std::vector<std::string>& args, std::string& path) {
    std::string text;
    std::vector<std::pair<std::size_t, std::size_t>> spans;
    for (const auto& a : args) {
        if (!text.empty()) text += ' ';
        spans.emplace_back(text.size(), text.size() + a.size());
        text += a;
    }
    path = sim::GetCommandLine(text);
    const auto marker = text.find("/f:[");
    const auto close = marker == std::string::npos ? std::string::npos : text.find(']', marker);
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const bool in_switch = close != std::string::npos && spans[i].second > marker && spans[i].first <= close;
        if (!in_switch) rest.push_back(args[i]);
    }
    return rest;
}

class Progress {
public:
    explicit Progress(const sim::Simulator& simulator)
        : simulator_(simulator), shown_(isatty(STDERR_FILENO) == 1), start_(std::chrono::steady_clock::now()) {}

    void clear() {
        if (!drawn_) return;
        std::fputs("\r\033[K", stderr);
        drawn_ = false;
    }

    void draw() {
        if (!shown_) return;
        const auto now = std::chrono::steady_clock::now();
        if (now - last_ < std::chrono::milliseconds(100)) return;
        last_ = now;
        const double elapsed = std::chrono::duration<double>(now - start_).count();
        std::fflush(stdout);
        std::fprintf(stderr, "\r\033[K%s | tables logged on %ld | round %d of %d | records %ld | %.1f s",
                     simulator_.Phase.c_str(), simulator_.tables_logged_on(), simulator_.CurRound.value(),
                     simulator_.MaxRound.value(), simulator_.records_written(), elapsed);
        std::fflush(stderr);
        drawn_ = true;
    }

private:
    const sim::Simulator& simulator_;
    bool shown_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point start_, last_;
};

// Waits one timer interval, in short slices so that Ctrl-C is taken at once.
void wait(int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!stop_requested && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            until - std::chrono::steady_clock::now(), std::chrono::milliseconds(20)));
}

int run(const Options& options) {
    HeadlessHost host;
    sim::Simulator simulator(host);
    Progress progress(simulator);
    host.before_output = [&] { progress.clear(); };

    simulator.DatabasePath = options.database;
    simulator.FixedSeed = options.seed;
    simulator.MemberDatabaseOverride = options.members;
    simulator.cboWait_Click(options.pace);

    struct sigaction action {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    simulator.cmdGenerate_Click();
    bool interrupted = false;
    while (!simulator.ended() && simulator.timer_enabled()) {
        // Polling for added rounds waits its interval even with --fast: it would only spin.
        const bool polling = simulator.Phase == sim::phase::UpdateFromRound;
        if (!options.fast || polling) {
            std::fflush(stdout);
            wait(host.interval());
        }
        if (stop_requested) {
            interrupted = true;
            simulator.cmdStop_Click();
            break;
        }
        simulator.Timer1_Timer();
        progress.draw();
        if (options.exit_when_done && simulator.Phase == sim::phase::UpdateFromRound) break;
    }
    progress.clear();
    std::fflush(stdout);
    if (!host.failure().empty()) return 1;
    return interrupted ? 130 : 0;
}

}  // namespace
}  // namespace headless

int run_headless(int argc, char** argv) {
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (!args.empty() && args.front() == "--headless") args.erase(args.begin());

    headless::Options options;
    const std::vector<std::string> rest = headless::split_switch(args, options.database);

    CLI::App app{"Plays every table terminal of a bridge event into its scoring database, without a window.\n"
                 "Usage: tallimo-sim --headless /f:[PATH] [options]"};
    app.name("tallimo-sim --headless");
    app.set_version_flag("--version", "Tallimo Pro Simulator v" + std::to_string(TALLIMO_VERSION_MAJOR) + "." +
                                          std::to_string(TALLIMO_VERSION_MINOR));
    app.add_option("--pace", options.pace, "Seconds between two steps, 0 to 5 (default 1)")
        ->check(CLI::Range(0.0, 5.0));
    app.add_flag("--fast", options.fast, "Steps back to back without waiting (polling still waits the pace)");
    app.add_option("--seed", options.seed, "Draw the results from this seed (default: the clock)");
    app.add_option("--members", options.members,
                   "The member-name database (default: TLPlayerDB.mdb beside the program, else beside the "
                   "scoring database, else in the tallimo/ folder of $XDG_DATA_HOME or of $XDG_DATA_DIRS)");
    app.add_flag("--exit-when-done", options.exit_when_done,
                 "End after \"All Done\" instead of waiting for added rounds");
    app.footer("The scoring database is named as for the window: /f:[PATH] (the text up to the first \"]\").");

    std::vector<std::string> reversed(rest.rbegin(), rest.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? 0 : 2;
    }
    if (options.database.empty()) {
        std::fprintf(stderr, "No scoring database given: name it as /f:[PATH]\n");
        return 2;
    }
    try {
        return headless::run(options);
    } catch (...) {  // the run's own failures end inside it; this is for what fails around it
        std::fprintf(stderr, "%s\n", sim::describe_current_exception().c_str());
        return 1;
    }
}
