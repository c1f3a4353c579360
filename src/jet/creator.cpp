// Database creation. The page layout is the one the Jet engine itself produces for a new
// database: header, global map, the four system tdefs on pages 2-5 (the ACE engine's tables
// after them), one shared usage-map area (inline maps only), empty or filled index leaves, then
// the catalog and ACE data pages.
// Security rows are those Access keeps for these objects under the default workgroup: the Admin
// user (A6 33), the Creator (A7 33) and the Admins group (A7 36); objects are owned by the
// engine (A7 31) or, for MSysDb, by Admin.
#include "jet/creator.h"

#include "jet/storage/file_io.h"

#include "jet/base/error.h"
#include "jet/database.h"
#include "jet/index/index_key.h"
#include "jet/index/index_page.h"
#include "jet/rows/row_encode.h"
#include "jet/schema/system_tables.h"
#include "jet/schema/table_def_write.h"
#include "jet/storage/file_header.h"
#include "jet/storage/file_io.h"
#include "jet/storage/lock_file.h"
#include "jet/storage/page_file.h"
#include "jet/storage/page_rows.h"
#include "jet/storage/usage_map_write.h"
#include "jet/table_write.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <fmt/format.h>
#include <unistd.h>

namespace jet {
namespace {

constexpr std::int32_t kRootContainer = 0x0F000000;
constexpr std::int32_t kTablesId = 0x0F000001;
constexpr std::int32_t kDatabasesId = 0x0F000002;
constexpr std::int32_t kRelationshipsId = 0x0F000003;
constexpr std::int32_t kMSysDbId = 0x10000000;
constexpr std::int16_t kTypeTable = 1, kTypeDatabase = 2, kTypeContainer = 3;

const Bytes kEngineSid{0xA7, 0x31};
const Bytes kAdminSid{0xA6, 0x33};
const Bytes kCreatorSid{0xA7, 0x33};
const Bytes kAdminsSid{0xA7, 0x36};
constexpr std::int32_t kFullAccess = 0xFFFFF;

// System table tdef pages, fixed by every Jet version; the ACE tables follow.
constexpr std::uint32_t kMSysObjectsPage = 2, kMSysACEsPage = 3, kMSysQueriesPage = 4, kMSysRelationshipsPage = 5;

// One table's rows and index entries while the new file is put together.
struct Building : SystemTable {
    std::vector<std::vector<Value>> rows;
    std::uint32_t data_page = 0;       // 0 when the table stays empty
};

Value sid(const Bytes& b) { return Value::binary(b); }

std::vector<Value> object_row(const TableDef& t, std::int32_t id, std::int32_t parent, const std::string& name,
                              std::int16_t type, DateTime now, const Bytes& owner, std::uint32_t flags = object_flags::Engine) {
    std::vector<Value> row(t.columns.size());
    row[0] = Value::long_(id);
    row[1] = Value::long_(parent);
    row[2] = Value::text(name);
    row[3] = Value::integer(type);
    row[4] = Value::date(now);
    row[5] = Value::date(now);
    if (!owner.empty()) row[6] = sid(owner);
    row[7] = Value::long_(static_cast<std::int32_t>(flags));
    return row;
}

std::vector<Value> ace_row(std::int32_t object, const Bytes& who, std::int32_t acm, bool inheritable) {
    return {Value::long_(object), sid(who), Value::long_(acm), Value::boolean(inheritable)};
}

Bytes encode_row(const Format& format, const TableDef& t, const std::vector<Value>& values) {
    std::vector<FieldImage> fields(t.columns.size());
    for (std::size_t i = 0; i < t.columns.size(); ++i) {
        const Column& c = t.columns[i];
        if (c.type == ColumnType::Boolean) {
            fields[i].present = !values[i].is_null() && values[i].as_bool();
        } else if (!values[i].is_null()) {
            fields[i].present = true;
            fields[i].bytes = encode_field(t, c, values[i], format);
        }
    }
    return build_row(t, format, fields);
}

// An inline usage map starting at `start` (a multiple of 8) listing `pages`.
Bytes inline_map_row(const Format& format, std::uint32_t start, const std::vector<std::uint32_t>& pages) {
    Bytes row(format.inline_map_row_size, 0);
    put_u32(row, 1, start);
    for (std::uint32_t p : pages) row[5 + (p - start) / 8] |= static_cast<std::uint8_t>(1u << ((p - start) % 8));
    return row;
}

// The global map of a file of `file_pages` pages: set bits mean free, so every page from the
// end of the file to the end of the map's window is set.
Bytes global_map_row(const Format& format, std::uint32_t file_pages) {
    const std::uint32_t capacity = (format.inline_map_row_size - 5) * 8;
    std::vector<std::uint32_t> free;
    for (std::uint32_t p = file_pages; p < capacity; ++p) free.push_back(p);
    return inline_map_row(format, 0, free);
}

std::uint32_t map_rows_per_page(const Format& format) {
    return std::min<std::uint32_t>(255, format.empty_data_page_free_space() / (format.inline_map_row_size + 2));
}

// Row pointers for a table's usage maps, handed out in the engine's order (owned, free, each
// long-value column's pair, one per index) over consecutive map pages from `first_page`.
// Returns how many map pages they take.
std::uint32_t assign_map_rows(const Format& format, TableDef& t, std::uint32_t first_page, std::uint32_t& next_row) {
    const std::uint32_t per_page = map_rows_per_page(format);
    auto next_ref = [&] {
        const std::uint32_t n = next_row++;
        return (first_page + n / per_page) << 8 | (n % per_page);
    };
    t.owned_map = next_ref();
    t.free_map = next_ref();
    for (LongValueMaps& m : t.long_value_maps) {
        m.owned_map = next_ref();
        m.free_map = next_ref();
    }
    for (RealIndex& r : t.real_indexes) r.usage_map = next_ref();
    return (next_row + per_page - 1) / per_page;
}

// Adds the map rows of a table to the map page images (indexed by page number - first_page),
// in the order assign_map_rows numbered them.
void add_map_rows(const Format& format, const TableDef& t, std::uint32_t first_page, std::vector<Bytes>& map_pages,
                  std::uint32_t start, const std::vector<std::uint32_t>& data_pages) {
    auto add = [&](std::uint32_t ref, const Bytes& row) {
        Bytes& page = map_pages.at((ref >> 8) - first_page);
        if (data_page_add_row(page, format, row) != (ref & 0xFF))
            throw JetError(err::CorruptDatabase, fmt::format("Internal error: usage maps of table '{}' out of order.", t.name));
    };
    add(t.owned_map, inline_map_row(format, start, data_pages));
    add(t.free_map, inline_map_row(format, start, data_pages));
    for (const LongValueMaps& m : t.long_value_maps) {
        add(m.owned_map, inline_map_row(format, start, {}));
        add(m.free_map, inline_map_row(format, start, {}));
    }
    for (const RealIndex& r : t.real_indexes) add(r.usage_map, inline_map_row(format, start, {r.root_page}));
}

Bytes index_leaf(const Format& format, const Building& b, const RealIndex& index, std::uint32_t page_number,
                 std::uint32_t& distinct_keys) {
    IndexPage leaf;
    leaf.number = page_number;
    leaf.leaf = true;
    leaf.owner = b.def.tdef_page;
    for (std::size_t r = 0; r < b.rows.size(); ++r) {
        IndexKey key = encode_index_key(format, b.def, index, b.rows[r]);
        leaf.entries.push_back(IndexEntry{std::move(key.bytes), RowId{b.data_page, static_cast<std::uint8_t>(r)}, 0});
    }
    std::sort(leaf.entries.begin(), leaf.entries.end(),
              [](const IndexEntry& x, const IndexEntry& y) { return compare_entries(x, y) < 0; });
    distinct_keys = 0;
    for (std::size_t i = 0; i < leaf.entries.size(); ++i)
        if (i == 0 || compare_keys(leaf.entries[i - 1].key, leaf.entries[i].key) != 0) ++distinct_keys;
    if (index_entry_space(format, leaf) > format.index_max_entry_space)
        throw JetError(err::CorruptDatabase, fmt::format("Internal error: the first index page of table '{}' overflows.",
                                                         b.def.name));
    return serialise_index_page(format, leaf);
}

// The whole file is written beside its place and renamed into it: a kill or a full disk on the
// way leaves no half database under the name (and, with `overwrite`, the old one whole).
void write_new_file(const std::string& path, bool overwrite, const std::vector<Bytes>& pages) {
    struct stat st {};
    if (!overwrite && ::stat(path.c_str(), &st) == 0)
        throw JetError(err::DatabaseExists, fmt::format("Database '{}' already exists.", path));
    const std::string temporary = fmt::format("{}.new-{}", path, static_cast<long>(::getpid()));
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) throw JetError(err::DiskIo, fmt::format("Cannot create database '{}': {}.", path, std::strerror(errno)));
    try {
        Bytes all;
        for (const Bytes& p : pages) all.insert(all.end(), p.begin(), p.end());
        write_all(fd, all.data(), all.size(), 0, path);
        sync_file(fd, path);
        ::close(fd);
        if (::rename(temporary.c_str(), path.c_str()) != 0)
            throw JetError(err::DiskIo, fmt::format("Cannot create database '{}': {}.", path, std::strerror(errno)));
    } catch (...) {
        ::close(fd);
        ::unlink(temporary.c_str());
        throw;
    }
}

}  // namespace

DateTime local_now() {
    CivilTime c = local_civil_now();
    c.millisecond = 0;
    return from_civil(c);
}

void create_database(const std::string& path, FileVersion version, bool overwrite) {
    const Format& format = format_of(version);
    const DateTime now = local_now();

    std::vector<Building> tables;
    for (SystemTable& t : system_tables(format, new_sort_version(version))) {
        t.def.tdef_page = kMSysObjectsPage + static_cast<std::uint32_t>(tables.size());
        t.def.tdef_pages = {t.def.tdef_page};
        tables.push_back({std::move(t), {}});
    }
    Building& objects = tables[0];
    Building& aces = tables[1];

    const TableDef& o = objects.def;
    objects.rows = {object_row(o, kTablesId, kRootContainer, "Tables", kTypeContainer, now, kEngineSid),
                    object_row(o, kDatabasesId, kRootContainer, "Databases", kTypeContainer, now, kEngineSid),
                    object_row(o, kRelationshipsId, kRootContainer, "Relationships", kTypeContainer, now, kEngineSid),
                    object_row(o, kMSysDbId, kDatabasesId, "MSysDb", kTypeDatabase, now, kAdminSid)};
    for (const Building& b : tables)
        objects.rows.push_back(object_row(o, static_cast<std::int32_t>(b.def.tdef_page), kTablesId, b.def.name, kTypeTable,
                                          now, b.owned ? kEngineSid : Bytes{}, b.catalog_flags));
    aces.rows = {ace_row(kTablesId, kAdminsSid, 983294, true),        ace_row(kTablesId, kAdminSid, 1048319, true),
                 ace_row(kTablesId, kCreatorSid, 1048319, true),      ace_row(kDatabasesId, kAdminSid, 393216, false),
                 ace_row(kRelationshipsId, kAdminsSid, 983294, true), ace_row(kRelationshipsId, kAdminSid, 393217, false),
                 ace_row(kRelationshipsId, kCreatorSid, kFullAccess, true),
                 ace_row(kMSysDbId, kAdminSid, 393230, false),        ace_row(kMSysDbId, kCreatorSid, 14, false),
                 ace_row(kMSysObjectsPage, kAdminSid, 393216, false), ace_row(kMSysObjectsPage, kCreatorSid, 20, false),
                 ace_row(kMSysACEsPage, kAdminSid, 393216, false),    ace_row(kMSysQueriesPage, kAdminSid, 393216, false),
                 ace_row(kMSysQueriesPage, kCreatorSid, 20, false),   ace_row(kMSysRelationshipsPage, kAdminSid, 917504, false),
                 ace_row(kMSysRelationshipsPage, kCreatorSid, 20, false)};
    // The ACE engine's tables get the rights of MSysQueries.
    for (std::size_t i = 4; i < tables.size(); ++i) {
        const auto id = static_cast<std::int32_t>(tables[i].def.tdef_page);
        aces.rows.push_back(ace_row(id, kAdminSid, 393216, false));
        aces.rows.push_back(ace_row(id, kCreatorSid, 20, false));
    }

    // Usage-map rows in the engine's order on as many shared map pages as they need, then the
    // index roots, then one data page per table that has rows.
    const std::uint32_t first_map_page = tables.back().def.tdef_page + 1;
    std::uint32_t next_row = 0, map_pages = 0;
    for (Building& b : tables) map_pages = assign_map_rows(format, b.def, first_map_page, next_row);
    std::uint32_t next_page = first_map_page + map_pages;
    for (Building& b : tables)
        for (RealIndex& r : b.def.real_indexes) r.root_page = next_page++;
    for (Building& b : tables)
        if (!b.rows.empty()) b.data_page = next_page++;
    const std::uint32_t page_count = next_page;

    std::vector<Bytes> pages(page_count);
    pages[0] = new_header_page(version, now.days);
    pages[1] = new_data_page(format, 1);
    data_page_add_row(pages[1], format, global_map_row(format, page_count));
    data_page_add_row(pages[1], format, Bytes(format.inline_map_row_size, 0));  // unused second map, as Jet leaves it
    std::vector<Bytes> maps(map_pages, new_data_page(format, 0));
    for (Building& b : tables) {
        add_map_rows(format, b.def, first_map_page, maps, 0,
                     b.data_page ? std::vector<std::uint32_t>{b.data_page} : std::vector<std::uint32_t>{});
        for (RealIndex& r : b.def.real_indexes) pages[r.root_page] = index_leaf(format, b, r, r.root_page, r.unique_key_count);
        if (b.data_page) {
            pages[b.data_page] = new_data_page(format, b.def.tdef_page);
            for (const auto& row : b.rows) data_page_add_row(pages[b.data_page], format, encode_row(format, b.def, row));
        }
        b.def.row_count = static_cast<std::uint32_t>(b.rows.size());
        if (tdef_page_count(format, b.def) != 1)
            throw JetError(err::CorruptDatabase, fmt::format("Internal error: the definition of {} needs more than a page.",
                                                             b.def.name));
        pages[b.def.tdef_page] = tdef_page_images(format, b.def).front();
    }
    std::copy(maps.begin(), maps.end(), pages.begin() + first_map_page);
    write_new_file(path, overwrite, pages);
}

namespace {

// The owner new objects get: the owner of MSysDb, as Jet does (Admin when unreadable).
Bytes new_object_owner(Database& db) {
    const TableDef objects = *db.table_def("MSysObjects");
    const Column* owner = objects.find_column("Owner");
    const Column* id = objects.find_column("Id");
    Bytes result = kAdminSid;
    if (owner == nullptr || id == nullptr) return result;
    const auto owner_at = static_cast<std::size_t>(owner - objects.columns.data());
    const auto id_at = static_cast<std::size_t>(id - objects.columns.data());
    db.scan(objects, [&](RowId, const std::vector<Value>& row) {
        if (row[id_at].kind() == ValueKind::Long && row[id_at].as_int32() == kMSysDbId) {
            if (row[owner_at].kind() == ValueKind::Binary && !row[owner_at].as_binary().empty())
                result = row[owner_at].as_binary();
            return false;
        }
        return true;
    });
    return result;
}

// The security ids that hold rights on the Tables container; a new table grants each of them
// full rights, as Jet does.
std::vector<Bytes> table_sids(Database& db) {
    const TableDef aces = *db.table_def("MSysACEs");
    const Column* object = aces.find_column("ObjectId");
    const Column* sid = aces.find_column("SID");
    std::vector<Bytes> sids;
    if (object != nullptr && sid != nullptr) {
        const auto object_at = static_cast<std::size_t>(object - aces.columns.data());
        const auto sid_at = static_cast<std::size_t>(sid - aces.columns.data());
        db.scan(aces, [&](RowId, const std::vector<Value>& row) {
            if (row[object_at].kind() == ValueKind::Long && row[object_at].as_int32() == kTablesId &&
                row[sid_at].kind() == ValueKind::Binary &&
                std::find(sids.begin(), sids.end(), row[sid_at].as_binary()) == sids.end())
                sids.push_back(row[sid_at].as_binary());
            return true;
        });
    }
    if (sids.empty()) sids.push_back(kAdminSid);
    return sids;
}

NewValues by_name(const TableDef& t, const std::vector<std::pair<const char*, Value>>& values) {
    NewValues out(t.columns.size());
    for (const auto& [name, value] : values) {
        const Column* c = t.find_column(name);
        if (c == nullptr)
            throw JetError(err::ItemNotFound, fmt::format("System table '{}' has no column '{}'.", t.name, name));
        out[static_cast<std::size_t>(c - t.columns.data())] = value;
    }
    return out;
}

}  // namespace

void create_table(Database& db, const TableDesign& design) {
    PageFile& file = db.file();
    const Format& format = file.format();
    StatementScope scope(file, StatementLock::Mode::Exclusive);
    AtomicWrite atomic(file);
    if (db.find_table(design.name))
        throw JetError(err::TableExists, fmt::format("Table '{}' already exists in '{}'.", design.name, file.path()));
    TableDef t = layout_table(format, design);
    for (Column& c : t.columns)
        if (is_text_like(c.type)) c.sort_version = db.sort_version();
    const Bytes owner = new_object_owner(db);
    const std::vector<Bytes> sids = table_sids(db);

    // Pages from the end of the file: tdef (and continuations), usage-map page(s), index roots.
    std::uint32_t next_page = next_page_number(file);
    const std::size_t tdef_pages = tdef_page_count(format, t);
    t.tdef_page = next_page;
    for (std::size_t i = 0; i < tdef_pages; ++i) t.tdef_pages.push_back(next_page++);
    const std::uint32_t first_map_page = next_page;
    std::uint32_t next_row = 0;
    const std::uint32_t map_pages = assign_map_rows(format, t, first_map_page, next_row);
    next_page += map_pages;
    for (RealIndex& r : t.real_indexes) r.root_page = next_page++;

    // Everything the table consists of is written, in page order, before the catalog row
    // makes it visible.
    std::vector<Bytes> images = tdef_page_images(format, t);
    std::vector<Bytes> maps(map_pages, new_data_page(format, 0));
    add_map_rows(format, t, first_map_page, maps, t.tdef_page & ~7u, {});
    images.insert(images.end(), maps.begin(), maps.end());
    for (const RealIndex& r : t.real_indexes) {
        IndexPage leaf;
        leaf.number = r.root_page;
        leaf.owner = t.tdef_page;
        images.push_back(serialise_index_page(format, leaf));
    }
    for (std::size_t i = 0; i < images.size(); ++i)
        if (allocate_page(file, images[i]) != t.tdef_page + i)
            throw JetError(err::CorruptDatabase, fmt::format("The file '{}' grew while table '{}' was being created.",
                                                             file.path(), design.name));

    const TableProperties props = table_properties(design);
    const DateTime now = local_now();
    {
        TableWrite objects(db, "MSysObjects");
        std::vector<std::pair<const char*, Value>> row = {
            {"Id", Value::long_(static_cast<std::int32_t>(t.tdef_page))},
            {"ParentId", Value::long_(kTablesId)},
            {"Name", Value::text(design.name)},
            {"Type", Value::integer(kTypeTable)},
            {"DateCreate", Value::date(now)},
            {"DateUpdate", Value::date(now)},
            {"Owner", Value::binary(owner)},
            {"Flags", Value::long_(0)}};
        if (!props.empty()) row.emplace_back("LvProp", Value::binary(encode_properties(format, props)));
        objects.add(by_name(objects.table(), row));
        objects.commit();
    }
    {
        TableWrite aces(db, "MSysACEs");
        for (const Bytes& sid : sids)
            aces.add(by_name(aces.table(), {{"ObjectId", Value::long_(static_cast<std::int32_t>(t.tdef_page))},
                                            {"SID", Value::binary(sid)},
                                            {"ACM", Value::long_(kFullAccess)},
                                            {"FInheritable", Value::boolean(false)}}));
        aces.commit();
    }
    atomic.commit(true);
}

}  // namespace jet
