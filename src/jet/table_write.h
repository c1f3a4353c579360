// Appending and updating records of one table, keeping its indexes, usage maps, row count and
// autonumber counters consistent; calculated columns get their results (calculated_columns.h),
// complex columns a new record's key with no values yet. Every check (Required 3314,
// AllowZeroLength 3315, text length 3163, row size 3047, index keys and duplicates 3022/3058)
// runs while records are staged, before any page is written; commit() then writes in the
// order that leaves a readable file at every step: long values, data rows and their pages'
// usage maps, index pages, the tdef's counters last. The caller holds the statement lock for
// the whole write.
#pragma once

#include "jet/calculated_columns.h"
#include "jet/database.h"
#include "jet/index/index.h"
#include "jet/rows/row_encode.h"
#include "jet/schema/column_rules.h"
#include "jet/schema/table_def.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace jet {

// Values by position in table.columns; nullopt = not given (the default applies on append,
// the stored value stays on update).
using NewValues = std::vector<std::optional<Value>>;

class TableWrite {
public:
    // Reads the table's definition and properties afresh (3078 when it does not exist).
    TableWrite(Database& db, std::string_view table);
    ~TableWrite();

    const TableDef& table() const { return table_; }

    // Stages an appended record.
    void add(NewValues values);
    // Stages a change of the row `id` (a header row id), whose stored values are `current`.
    void change(RowId id, const std::vector<Value>& current, const NewValues& changes);

    // Writes what was staged; returns the row ids of the appended records.
    std::vector<RowId> commit();

private:
    struct Staged;
    [[noreturn]] void refuse_given(const Column& c) const;
    std::vector<Value> complete(NewValues values);
    void check(const std::vector<Value>& values) const;
    std::vector<FieldImage> images(const std::vector<Value>& values, const std::vector<FieldImage>* stored,
                                   const NewValues* changes, std::vector<Bytes>& long_values) const;
    IndexEdit& edit(std::size_t real_index);
    void write_appended(Staged& s);
    void write_changed(Staged& s);
    void mark_deleted(std::uint32_t page, std::uint8_t row);
    void move_index_entries(Staged& s, RowId to);

    PageFile& file_;
    TableDefPtr def_;
    const TableDef& table_;   // *def_
    CalculatedColumns calculated_;
    std::shared_ptr<const std::vector<ColumnRules>> rules_;
    std::vector<std::unique_ptr<IndexEdit>> edits_;
    std::vector<std::uint32_t> new_distinct_keys_;
    std::vector<Staged> staged_;
    // Where the next appended record is expected: the page the previous one went to, with it.
    struct NextPlace {
        std::uint32_t page = 0;
        Bytes image;
    };
    std::optional<NextPlace> next_place_;
    std::optional<std::uint32_t> last_row_page_;   // during commit: where the last record went
    std::uint32_t last_autonumber_ = 0;
    std::uint32_t last_complex_key_ = 0;   // Access 2007+: shared by the complex columns' keys
    std::uint32_t appended_ = 0;
};

}  // namespace jet
