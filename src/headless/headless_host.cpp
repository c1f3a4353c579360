// Headless Host: standard streams, the local clock and the program's own folder.
#include "headless/headless_host.h"

#include <cstdio>
#include <filesystem>

namespace headless {

void HeadlessHost::add_log_line(const std::string& line) {
    if (before_output) before_output();
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
}

void HeadlessHost::message_box(const std::string& text, const std::string& detail) {
    if (before_output) before_output();
    std::fflush(stdout);
    std::string shown = text;  // the box's line breaks are Windows ones
    for (auto at = shown.find("\r\n"); at != std::string::npos; at = shown.find("\r\n", at)) shown.erase(at, 1);
    std::fprintf(stderr, "%s\n", shown.c_str());
    if (!detail.empty()) std::fprintf(stderr, "%s\n", detail.c_str());
    failure_ = text;
}

db::DateTime HeadlessHost::now() const { return db::from_civil(db::local_civil_now()); }

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
