// The database files of tests/fixtures/ (found through TALLIMO_FIXTURES).
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

namespace testsupport {

inline std::string fixture(const std::string& relative) { return std::string(TALLIMO_FIXTURES) + "/" + relative; }

// The files of `folders` as "folder/name", sorted, passing over those whose name contains
// `except`. Test parameters are listed before any test runs: a missing folder is listed as
// itself, so the test given it fails naming it instead of the whole program aborting.
inline std::vector<std::string> fixture_files(std::initializer_list<const char*> folders, const std::string& except) {
    std::vector<std::string> files;
    for (const char* folder : folders) {
        std::error_code error;
        std::filesystem::directory_iterator it(fixture(folder), error), end;
        if (error) files.emplace_back(folder);
        for (; it != end; it.increment(error)) {
            const std::string name = it->path().filename().string();
            if (name.find(except) == std::string::npos) files.push_back(std::string(folder) + "/" + name);
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

// A file's bytes, empty when it cannot be read.
inline std::string file_bytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Flips the bits of `mask` in the byte at `at` of a file: damage, or a key where none was.
inline void flip_byte(const std::filesystem::path& file, std::streamoff at, char mask) {
    std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
    f.seekg(at);
    char c = 0;
    f.get(c);
    f.seekp(at);
    f.put(static_cast<char>(c ^ mask));
}

}  // namespace testsupport
