// jet::RecordSet: a dynaset. The rows it covers and their order are fixed when it opens
// (table order, or index order when an index serves the query); on a whole table, as Jet
// fills a dynaset's keys as they are needed, when it is first read, so that a record set
// opened only to add records does not list the table. A row's values are read afresh from
// the file each time the record set moves onto it. Adding records goes through the writer
// (execute.h).
#pragma once

#include "jet/database.h"
#include "jet/execute.h"
#include "jet/schema/table_def.h"
#include "jet/value/value.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace jet {

class RecordSet {
public:
    // A table name or "SELECT * FROM name [WHERE ...]", positioned on the first record.
    static std::unique_ptr<RecordSet> open(std::shared_ptr<Database> db, std::string_view table_or_select);

    bool at_end();
    std::size_t record_count();
    void move_first();
    void move_next();
    void move_last();

    // The current record's field, case-insensitive: 3265 "Item not found in this
    // collection." for an unknown name, 3021 "No current record." at end, 3167 "Record is
    // deleted." when another user deleted it since the record set opened.
    Value field(std::string_view name);
    const TableDef& table() const { return *table_; }
    RowId current_row();
    const std::optional<std::string>& index_used() const { return index_used_; }

    // Add record: add_new() begins, set_field() fills by name (3265 for unknown names),
    // update() stores it (the record set keeps its position). hold() instead of update() keeps
    // the record back until the next update() or flush(), which store every held record in one
    // write: a group of records reaches the file, and other users, together. Records still held
    // when the record set ends are stored then (errors cannot be reported there; flush first).
    void add_new();
    void set_field(std::string_view name, const Value& value);
    void update();
    void hold();
    void flush();
    ~RecordSet();

private:
    RecordSet(std::shared_ptr<Database> db, TableDefPtr table);
    void list_rows();
    void load();
    const Column& column(std::string_view name) const;
    mutable std::size_t next_column_ = 0;   // the column after the one column() last found

    std::shared_ptr<Database> db_;
    TableDefPtr table_;
    std::vector<RowId> rows_;
    bool complete_ = false;   // rows listed (a table's when first read)
    std::optional<std::string> index_used_;
    std::size_t position_ = 0;
    std::vector<Value> values_;
    bool deleted_ = false;
    bool adding_ = false;
    NewValues pending_;             // by position in table_
    std::vector<NewValues> held_;
};

}  // namespace jet
