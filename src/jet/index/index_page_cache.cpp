// Eviction picks a random page: index edits visit leaves in patterns (a whole cycle of keys,
// say) where least-recently-used would evict each page just before it is wanted again.
#include "jet/index/index_page_cache.h"

#include <cstring>

namespace jet {

namespace {

// Enough for every page an index edit of a table of a few hundred thousand rows touches.
constexpr std::size_t kThreadBudget = std::size_t{24} << 20;

}  // namespace

IndexPageCache& IndexPageCache::local() {
    thread_local IndexPageCache cache(kThreadBudget);
    return cache;
}

IndexPageCache::IndexPageCache(std::size_t budget_bytes) : budget_(budget_bytes) {}

std::uint64_t IndexPageCache::key_of(const Format& format, std::uint32_t number) {
    return static_cast<std::uint64_t>(format.version) << 32 | number;
}

std::shared_ptr<const PackedPage> IndexPageCache::find(const Format& format, std::uint32_t number,
                                                       PageBytes bytes) const {
    const auto it = slots_.find(key_of(format, number));
    if (it == slots_.end()) return nullptr;
    const Entry& e = entries_[it->second];
    if (e.bytes.size() != bytes.size() || std::memcmp(e.bytes.data(), bytes.data(), bytes.size()) != 0) return nullptr;
    return e.page;
}

std::optional<IndexPageCache::Taken> IndexPageCache::take(const Format& format, std::uint32_t number,
                                                          PageBytes bytes) {
    if (!find(format, number, bytes)) return std::nullopt;
    const std::size_t i = slots_.at(key_of(format, number));
    // A reader that still holds the page keeps its own.
    std::shared_ptr<PackedPage>& kept = entries_[i].page;
    Taken taken{kept.use_count() == 1 ? std::move(*kept) : *kept, std::move(entries_[i].bytes)};
    remove_at(i);
    return taken;
}

std::shared_ptr<const PackedPage> IndexPageCache::keep(const Format& format, std::uint32_t number, Bytes bytes,
                                                       PackedPage page) {
    auto shared = std::make_shared<PackedPage>(std::move(page));
    store(key_of(format, number), std::move(bytes), shared);
    return shared;
}

void IndexPageCache::forget(const Format& format, std::uint32_t number) {
    if (const auto it = slots_.find(key_of(format, number)); it != slots_.end()) remove_at(it->second);
}

void IndexPageCache::store(std::uint64_t key, Bytes bytes, std::shared_ptr<PackedPage> page) {
    const std::size_t cost = bytes.size() + page->footprint() + sizeof(Entry);
    if (const auto it = slots_.find(key); it != slots_.end()) remove_at(it->second);
    if (cost > budget_) return;
    while (bytes_ + cost > budget_) {
        random_ ^= random_ << 13;
        random_ ^= random_ >> 7;
        random_ ^= random_ << 17;
        remove_at(static_cast<std::size_t>(random_ % entries_.size()));
    }
    slots_[key] = entries_.size();
    entries_.push_back(Entry{key, std::move(bytes), std::move(page), cost});
    bytes_ += cost;
}

void IndexPageCache::remove_at(std::size_t i) {
    bytes_ -= entries_[i].cost;
    slots_.erase(entries_[i].key);
    if (i + 1 != entries_.size()) {
        entries_[i] = std::move(entries_.back());
        slots_[entries_[i].key] = i;
    }
    entries_.pop_back();
}

}  // namespace jet
