// Parsed index pages kept from one statement to the next, each with the exact bytes it was
// parsed from. A page is served only when the bytes just read equal those bytes, so a change
// by any writer (another program included) is never missed. One cache per thread, bounded in
// memory; nothing in it is shared between threads.
#pragma once

#include "jet/index/index_page.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

namespace jet {

class IndexPageCache {
public:
    // This thread's cache.
    static IndexPageCache& local();

    explicit IndexPageCache(std::size_t budget_bytes);

    using PageBytes = std::span<const std::uint8_t>;
    // The kept page for exactly these bytes (page `number` of a file in `format`), or null.
    // Shared, so that a reader keeps it while the cache drops it.
    std::shared_ptr<const PackedPage> find(const Format& format, std::uint32_t number, PageBytes bytes) const;
    // Like find, but hands the kept page and its bytes over (they leave the cache): for callers
    // that change the page and keep the result, or give it back with keep().
    struct Taken {
        PackedPage page;
        Bytes bytes;
    };
    std::optional<Taken> take(const Format& format, std::uint32_t number, PageBytes bytes);
    // Keeps `page` as the parsed form of `bytes`, which the caller has just written from it or
    // read them as (parse_packed_page must make exactly `page` of them). Returns it, shared.
    std::shared_ptr<const PackedPage> keep(const Format& format, std::uint32_t number, Bytes bytes, PackedPage page);
    // Drops the copy of a page, if any.
    void forget(const Format& format, std::uint32_t number);

private:
    struct Entry {
        std::uint64_t key;
        Bytes bytes;
        std::shared_ptr<PackedPage> page;
        std::size_t cost;
    };
    static std::uint64_t key_of(const Format& format, std::uint32_t number);
    void store(std::uint64_t key, Bytes bytes, std::shared_ptr<PackedPage> page);
    void remove_at(std::size_t i);

    std::size_t budget_;
    std::size_t bytes_ = 0;
    std::vector<Entry> entries_;
    std::unordered_map<std::uint64_t, std::size_t> slots_;   // key -> position in entries_
    std::uint64_t random_ = 0x9E3779B97F4A7C15ull;
};

}  // namespace jet
