#include "format_option.h"

#include "event/format_names.h"

namespace tlw {

void FormatOption::add_to(CLI::App& cmd) {
    auto* format = cmd.add_option("--format", name_,
                                  "jet3 (Access 97), jet4 (Access 2000-2003), ace2007, ace2010 or ace2016 (Access "
                                  "2007, 2010, 2016; the file keeps the name given, .accdb or not)")
                       ->check(CLI::IsMember(event::format_names()))
                       ->capture_default_str();
    auto* jet3 = cmd.add_flag_callback("--jet3", [this] { name_ = "jet3"; }, "the same as --format jet3");
    auto* jet4 = cmd.add_flag_callback("--jet4", [this] { name_ = "jet4"; }, "the same as --format jet4");
    jet3->excludes(jet4)->excludes(format);
    jet4->excludes(format);
}

jet::FileVersion FormatOption::version() const { return event::format_names().at(name_); }

}  // namespace tlw
