#include "jet/storage/guarded_mapping.h"

#include <array>
#include <atomic>
#include <csignal>
#include <mutex>
#include <sys/mman.h>
#include <unistd.h>

namespace jet {
namespace {

// The live mappings, read by the signal handler: lock-free, so only atomics. A slot's range is
// set after its mapping exists and cleared before it is unmapped.
struct Slot {
    std::atomic<bool> taken{false};
    std::atomic<std::uintptr_t> start{0}, end{0};
    std::atomic<bool> cut{false};
};
std::array<Slot, 64> slots;
struct sigaction previous {};
std::uintptr_t memory_page_size = 4096;

void on_sigbus(int signal, siginfo_t* info, void* context) {
    const auto at = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (Slot& slot : slots) {
        if (at < slot.start.load() || at >= slot.end.load()) continue;
        void* page = reinterpret_cast<void*>(at & ~(memory_page_size - 1));
        if (::mmap(page, memory_page_size, PROT_READ, MAP_FIXED | MAP_PRIVATE | MAP_ANONYMOUS, -1, 0) == MAP_FAILED) break;
        slot.cut.store(true);
        return;  // the read is made again, of the zeros
    }
    if (previous.sa_flags & SA_SIGINFO) {
        previous.sa_sigaction(signal, info, context);
    } else if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
        previous.sa_handler(signal);
    } else {
        ::signal(SIGBUS, SIG_DFL);  // returning makes the fault again, which now ends the program
    }
}

void install_handler() {
    static std::once_flag once;
    std::call_once(once, [] {
        memory_page_size = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
        struct sigaction action {};
        action.sa_sigaction = on_sigbus;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &previous);
    });
}

}  // namespace

std::unique_ptr<GuardedMapping> GuardedMapping::map(int fd, std::size_t size) {
    install_handler();
    std::size_t slot = 0;
    for (bool expected = false; slot < slots.size(); ++slot, expected = false)
        if (slots[slot].taken.compare_exchange_strong(expected, true)) break;
    if (slot == slots.size()) return nullptr;
    void* m = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    if (m == MAP_FAILED) {
        slots[slot].taken.store(false);
        return nullptr;
    }
    const auto start = reinterpret_cast<std::uintptr_t>(m);
    slots[slot].cut.store(false);
    slots[slot].start.store(start);   // with end still 0 the range is empty until both are set
    slots[slot].end.store(start + size);
    return std::unique_ptr<GuardedMapping>(new GuardedMapping(static_cast<const std::uint8_t*>(m), size, slot));
}

GuardedMapping::~GuardedMapping() {
    Slot& slot = slots[slot_];
    slot.end.store(0);
    slot.start.store(0);
    ::munmap(const_cast<std::uint8_t*>(data_), size_);
    slot.taken.store(false);
}

bool GuardedMapping::cut() const { return slots[slot_].cut.load(); }

}  // namespace jet
