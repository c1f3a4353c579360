// Page 0: recognition of Jet 3, Jet 4 and ACE files and refusal of everything else, naming the file,
// and page 0 of new files. The masked region is an RC4 keystream XOR, so one routine both masks
// and unmasks.
#include "jet/storage/file_header.h"

#include "jet/base/error.h"

#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

namespace jet {
namespace {

constexpr std::size_t kMaskStart = 0x18;
constexpr std::size_t kMaskMax = 128;
constexpr std::size_t kCodePageOffset = 0x3C;
constexpr std::size_t kDbKeyOffset = 0x3E;
constexpr std::size_t kPasswordOffset = 0x42;
constexpr std::size_t kJet3SortOrderOffset = 0x3A;
constexpr std::size_t kJet4SortOrderOffset = 0x6E;
constexpr std::size_t kSortVersionOffset = 0x71;
constexpr std::uint8_t kNewestAce = 6;  // Access 2019 (ACE 17)
constexpr std::size_t kCreationDateOffset = 0x72;

// RC4 keystream for the fixed key C7 DA 39 6B, computed once.
const std::array<std::uint8_t, kMaskMax>& header_keystream() {
    static const std::array<std::uint8_t, kMaskMax> stream = [] {
        const std::uint8_t key[4] = {0xC7, 0xDA, 0x39, 0x6B};
        std::array<std::uint8_t, 256> s{};
        for (int i = 0; i < 256; ++i) s[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
        std::uint8_t j = 0;
        for (std::size_t i = 0; i < 256; ++i) {
            j = static_cast<std::uint8_t>(j + s[i] + key[i % 4]);
            std::swap(s[i], s[j]);
        }
        std::array<std::uint8_t, kMaskMax> out{};
        std::uint8_t a = 0, b = 0;
        for (auto& o : out) {
            a = static_cast<std::uint8_t>(a + 1);
            b = static_cast<std::uint8_t>(b + s[a]);
            std::swap(s[a], s[b]);
            o = s[static_cast<std::uint8_t>(s[a] + s[b])];
        }
        return out;
    }();
    return stream;
}

bool has_password(const Bytes& page0, const Format& format) {
    if (format.jet3()) {
        for (std::size_t i = 0; i < 20; ++i)
            if (page0[kPasswordOffset + i] != 0) return true;
        return false;
    }
    // Jet 4 stores the password XORed with the creation day; an empty one stores the mask.
    double created = 0;
    std::memcpy(&created, page0.data() + kCreationDateOffset, sizeof created);
    const double day = std::isfinite(created) ? std::floor(created) : 0;
    const auto mask = static_cast<std::uint32_t>(static_cast<std::int64_t>(
        day > -2147483648.0 && day < 2147483648.0 ? day : 0));
    for (std::size_t i = 0; i < 40; ++i) {
        const auto m = static_cast<std::uint8_t>(mask >> (8 * (i % 4)));
        if ((page0[kPasswordOffset + i] ^ m) != 0) return true;
    }
    return false;
}

}  // namespace

void toggle_header_mask(Bytes& page0, const Format& format) {
    const auto& stream = header_keystream();
    const std::size_t n = std::min<std::size_t>(format.header_mask_length, page0.size() - std::min(page0.size(), kMaskStart));
    for (std::size_t i = 0; i < n; ++i) page0[kMaskStart + i] ^= stream[i];
}

std::string version_name(std::uint8_t version) {
    switch (version) {
    case 0: return "Access 97 (Jet 3)";
    case 1: return "Access 2000-2003 (Jet 4)";
    case 2: return "Access 2007 (ACE 12)";
    case 3: return "Access 2010 (ACE 14)";
    case 4: return "Access 2013 (ACE 15)";
    case 5: return "Access 2016 (ACE 16)";
    case 6: return "Access 2019 (ACE 17)";
    }
    return fmt::format("unknown version {}", version);
}

namespace {

const Format& format_of(const std::string& path, const Bytes& raw) {
    // Access 2007 and later write "Standard ACE DB"; the version byte is what tells the formats apart.
    static const char kJet[] = "Standard Jet DB";
    static const char kAce[] = "Standard ACE DB";
    const bool named = raw.size() >= 0x100 && raw[0] == 0 &&
                       (std::memcmp(raw.data() + 4, kJet, 15) == 0 || std::memcmp(raw.data() + 4, kAce, 15) == 0);
    if (!named)
        throw JetError(err::NotADatabase,
                       fmt::format("Unrecognized database format '{}': it is not a Jet (Access) database.", path));
    const std::uint8_t version = raw[0x14];
    if (version > kNewestAce)
        throw JetError(err::NotADatabase,
                       fmt::format("Unrecognized database format '{}': it declares version {}, newer than {}, the "
                                   "latest this engine reads.", path, version, version_name(kNewestAce)));
    if (version == 0) return Format::jet3_format();
    return version == 1 ? Format::jet4_format() : Format::ace_format();
}

}  // namespace

HeaderInfo parse_header(const std::string& path, const Bytes& raw, std::uint64_t file_size) {
    const Format& format = format_of(path, raw);
    if (file_size < 3ull * format.page_size || file_size % format.page_size != 0)
        throw JetError(err::CorruptDatabase,
                       fmt::format("Cannot open database '{}': the file is truncated ({} bytes is not a whole number "
                                   "of {}-byte pages).", path, file_size, format.page_size));
    Bytes page0(raw.begin(), raw.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(raw.size(), format.page_size)));
    toggle_header_mask(page0, format);
    // Access 2007 and later encrypt the whole file when a password is set (Office encryption).
    if (format.ace && get_u32(page0, kDbKeyOffset) != 0)
        throw JetError(err::PasswordProtected,
                       fmt::format("Not a valid password: '{}' is an {} database encrypted with a password, which is not "
                                   "supported.", path, version_name(raw[0x14])));
    if (get_u32(page0, kDbKeyOffset) != 0)
        throw JetError(err::NotADatabase,
                       fmt::format("Cannot open database '{}': it is encoded (encrypted), which is not supported.", path));
    if (has_password(page0, format))
        throw JetError(err::PasswordProtected,
                       fmt::format("Not a valid password: '{}' is protected by a database password, which is not "
                                   "supported.", path));
    HeaderInfo info;
    info.format = &format;
    info.version = raw[0x14];
    info.code_page = get_u16(page0, kCodePageOffset);
    const std::size_t sort_at = format.jet3() ? kJet3SortOrderOffset : kJet4SortOrderOffset;
    info.sort_order = get_u16(page0, sort_at);
    if (!format.jet3()) info.sort_version = page0[kSortVersionOffset];
    return info;
}

HeaderInfo read_header(const std::string& path, int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throw JetError(err::DiskIo, fmt::format("Disk or network error reading '{}'.", path));
    Bytes raw(2048);
    std::size_t done = 0;
    while (done < raw.size()) {
        const ssize_t n = ::pread(fd, raw.data() + done, raw.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    raw.resize(done);
    if (done < 0x100)
        throw JetError(err::NotADatabase,
                       fmt::format("Unrecognized database format '{}': the file is too small to be a Jet database "
                                   "({} bytes).", path, st.st_size));
    return parse_header(path, raw, static_cast<std::uint64_t>(st.st_size));
}

const Format& recognise_header(const std::string& path, int fd) { return *read_header(path, fd).format; }

const Format& format_of(FileVersion version) {
    switch (version) {
    case FileVersion::Jet3: return Format::jet3_format();
    case FileVersion::Jet4: return Format::jet4_format();
    default: return Format::ace_format();
    }
}

std::uint8_t new_sort_version(FileVersion version) {
    return version == FileVersion::Jet3 || version == FileVersion::Jet4 || version == FileVersion::Ace2007 ? 0 : 1;
}

Bytes new_header_page(FileVersion version, double created) {
    const Format& format = format_of(version);
    Bytes page(format.page_size, 0);
    page[1] = 0x01;
    const char* engine = format.ace ? "Standard ACE DB" : "Standard Jet DB";
    std::memcpy(page.data() + 4, engine, 16);
    page[0x14] = static_cast<std::uint8_t>(version);
    // Unmasked constants present in every file Access writes; their meaning is unknown.
    const std::uint8_t fixed[] = {0x00, 0x01, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,
                                  0x03, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00};
    std::memcpy(page.data() + kMaskStart, fixed, sizeof fixed);
    put_u16(page, kCodePageOffset, 1252);
    if (format.jet3()) {
        page[0x38] = 0x01;
        put_u16(page, kJet3SortOrderOffset, 0x0409);
        page[0x56] = 0x1E;  // as Access 97 leaves it
        page[0x57] = 0x25;
    } else {
        // An empty password is stored as the mask itself: the creation day, ten times.
        const auto day = static_cast<std::uint32_t>(static_cast<std::int32_t>(std::floor(created)));
        for (std::size_t i = 0; i < 10; ++i) put_u32(page, kPasswordOffset + 4 * i, day);
        put_u16(page, 0x6A, format.ace ? 0x11A6 : 0x21AA);  // unknown; as Access writes it
        put_u16(page, kJet4SortOrderOffset, 0x0409);
        page[kSortVersionOffset] = new_sort_version(version);
        std::uint64_t bits = 0;
        std::memcpy(&bits, &created, sizeof bits);
        const Bytes date = le_bytes(bits, 8);
        std::copy(date.begin(), date.end(), page.begin() + kCreationDateOffset);
        put_u32(page, 0x98, 0x0654);
        std::memcpy(page.data() + 0x9C, "4.0", 4);
    }
    toggle_header_mask(page, format);
    return page;
}

}  // namespace jet
