// The Host of a run without a window: log lines to standard output, message boxes to
// standard error, the timer's settings kept for the runner's loop, the local clock.
#pragma once

#include "run/simulator.h"

#include <functional>
#include <string>

namespace headless {

class HeadlessHost : public sim::Host {
public:
    // Called before each log line is written (the progress line clears itself there).
    std::function<void()> before_output;

    void add_log_line(const std::string& line) override;
    void set_timer_interval(int ms) override { interval_ = ms; }
    void set_timer_enabled(bool enabled) override { enabled_ = enabled; }
    void set_pause_visible(bool) override {}
    void set_resume_visible(bool) override {}
    void move_resume_to_pause() override {}
    void message_box(const std::string& text, const std::string& detail) override;
    void end_program() override { ended_ = true; }
    db::DateTime now() const override;
    std::string executable_folder() const override;
    bool file_exists(const std::string& path) const override;

    int interval() const { return interval_; }
    bool ended() const { return ended_; }
    // The text of the message box that ended the run, empty when none was shown.
    const std::string& failure() const { return failure_; }

private:
    int interval_ = 0;
    bool enabled_ = false;
    bool ended_ = false;
    std::string failure_;
};

}  // namespace headless
