// The arguments write_bench and scan_bench share: [--format F] [DIR], F one of the names
// `tlw new-db --format` takes (jet4 unless given).
#pragma once

#include "event/format_names.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

struct BenchArgs {
    std::string format = "jet4";
    jet::FileVersion version = jet::FileVersion::Jet4;
    std::filesystem::path dir = std::filesystem::temp_directory_path();
};

// nullopt when the program is to end at once with `status` (0 after --help, 2 after a wrong
// argument, the usage printed either way).
inline std::optional<BenchArgs> parse_bench_args(int argc, char** argv, const char* usage, int& status) {
    BenchArgs args;
    bool dir_given = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--format" && i + 1 < argc && event::format_names().count(argv[i + 1])) {
            args.format = argv[++i];
            args.version = event::format_names().at(args.format);
        } else if (a[0] != '-' && !dir_given) {
            args.dir = a;
            dir_given = true;
        } else {
            std::fprintf(stderr, "%s", usage);
            status = a == "--help" || a == "-h" ? 0 : 2;
            return std::nullopt;
        }
    }
    return args;
}
