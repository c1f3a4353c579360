// Headless Host: standard streams, the local clock and the program's own folder.
#include "headless/headless_host.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>

namespace headless {

void HeadlessHost::add_log_line(const std::string& line) {
    if (before_output) before_output();
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
}

void HeadlessHost::message_box(const std::string& text) {
    if (before_output) before_output();
    std::fflush(stdout);
    std::string shown = text;  // the box's line breaks are Windows ones
    for (auto at = shown.find("\r\n"); at != std::string::npos; at = shown.find("\r\n", at)) shown.erase(at, 1);
    std::fprintf(stderr, "%s\n", shown.c_str());
    failure_ = text;
}

jet::DateTime HeadlessHost::now() const {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    jet::CivilTime c;
    c.year = local.tm_year + 1900;
    c.month = local.tm_mon + 1;
    c.day = local.tm_mday;
    c.hour = local.tm_hour;
    c.minute = local.tm_min;
    c.second = local.tm_sec;
    c.millisecond = static_cast<int>(ms);
    return jet::from_civil(c);
}

std::string HeadlessHost::executable_folder() const {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::current_path().string() : self.parent_path().string();
}

bool HeadlessHost::file_exists(const std::string& path) const {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

}  // namespace headless
