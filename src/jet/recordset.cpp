// Record set navigation and field access; appends are handed to the writer.
#include "jet/recordset.h"

#include "jet/base/error.h"
#include "jet/query.h"
#include "jet/schema/names.h"

namespace jet {

std::unique_ptr<RecordSet> RecordSet::open(std::shared_ptr<Database> db, std::string_view table_or_select) {
    // One consistent view: no writer of ours is half-way through a record while we list rows.
    StatementScope scope(db->file(), StatementLock::Mode::Shared);
    if (!is_select(table_or_select)) {
        TableDefPtr table = db->table_def(bare_table_name(table_or_select));
        return std::unique_ptr<RecordSet>(new RecordSet(std::move(db), std::move(table)));
    }
    QueryResult q = run_query(*db, table_or_select);
    std::unique_ptr<RecordSet> rs(new RecordSet(std::move(db), std::move(q.table)));
    rs->rows_ = std::move(q.rows);
    rs->complete_ = true;
    rs->index_used_ = std::move(q.index_used);
    rs->load();
    return rs;
}

RecordSet::RecordSet(std::shared_ptr<Database> db, TableDefPtr table) : db_(std::move(db)), table_(std::move(table)) {}

// A table's rows, listed when the record set is first read.
void RecordSet::list_rows() {
    StatementScope scope(db_->file(), StatementLock::Mode::Shared);
    rows_ = db_->row_ids(*table_);
    complete_ = true;
}

void RecordSet::load() {
    deleted_ = false;
    if (!complete_) list_rows();
    if (position_ < rows_.size()) deleted_ = !db_->read_row(*table_, rows_[position_], values_);
}

bool RecordSet::at_end() {
    if (!complete_) load();
    return position_ >= rows_.size();
}

std::size_t RecordSet::record_count() {
    if (!complete_) list_rows();
    return rows_.size();
}

void RecordSet::move_first() {
    position_ = 0;
    load();
}

void RecordSet::move_next() {
    if (at_end()) throw JetError(err::NoCurrentRecord, "No current record.");
    ++position_;
    load();
}

void RecordSet::move_last() {
    if (!complete_) list_rows();
    if (rows_.empty()) throw JetError(err::NoCurrentRecord, "No current record.");
    position_ = rows_.size() - 1;
    load();
}

const Column& RecordSet::column(std::string_view name) const {
    // Fields mostly come in the table's column order: the one after the last is tried first.
    const std::vector<Column>& columns = table_->columns;
    if (next_column_ < columns.size() && names_equal(columns[next_column_].name, name)) return columns[next_column_++];
    const Column* c = table_->find_column(name);
    if (!c) throw JetError(err::ItemNotFound, "Item not found in this collection.");
    next_column_ = static_cast<std::size_t>(c - columns.data()) + 1;
    return *c;
}

Value RecordSet::field(std::string_view name) {
    const Column& c = column(name);
    if (at_end()) throw JetError(err::NoCurrentRecord, "No current record.");
    if (deleted_) throw JetError(err::RecordIsDeleted, "Record is deleted.");
    return values_[static_cast<std::size_t>(&c - table_->columns.data())];
}

RowId RecordSet::current_row() {
    if (at_end()) throw JetError(err::NoCurrentRecord, "No current record.");
    return rows_[position_];
}

void RecordSet::add_new() {
    adding_ = true;
    pending_.assign(table_->columns.size(), std::nullopt);
}

void RecordSet::set_field(std::string_view name, const Value& value) {
    const Column& c = column(name);
    if (!adding_) throw JetError(err::UpdateWithoutAddNew, "Update or CancelUpdate without AddNew or Edit.");
    pending_[static_cast<std::size_t>(&c - table_->columns.data())] = value;
}

void RecordSet::update() {
    hold();
    flush();
}

void RecordSet::hold() {
    if (!adding_) throw JetError(err::UpdateWithoutAddNew, "Update or CancelUpdate without AddNew or Edit.");
    held_.push_back(std::move(pending_));
    adding_ = false;
    pending_.clear();
}

void RecordSet::flush() {
    if (held_.empty()) return;
    const std::vector<NewValues> records = std::move(held_);
    held_.clear();
    append_records(*db_, *table_, records);
    if (position_ < rows_.size()) load();   // the current record afresh
}

RecordSet::~RecordSet() {
    try {
        flush();
    } catch (const JetError&) {
    }
}

}  // namespace jet
