// Index keys: the bytes an index entry holds for a row (per column a flag byte, then the value
// in an order-preserving form; descending columns inverted). A key that cannot be encoded
// exactly is refused with an error naming the table and column, before anything is written.
#pragma once

#include "jet/schema/table_def.h"
#include "jet/storage/format.h"
#include "jet/value/value.h"

#include <vector>

namespace jet {

struct IndexKey {
    Bytes bytes;
    bool all_null = false;   // every key column is Null (ignore-nulls indexes skip such rows)
    bool any_null = false;   // some key column is Null (primary and required indexes refuse it)
};

// The key of a row; `row` holds the values by column position in table.columns.
IndexKey encode_index_key(const Format& format, const TableDef& table, const RealIndex& index,
                          const std::vector<Value>& row);

// The key bytes of the index's first leading.size() columns (values in index column order),
// for seeking with a partial key: every full key of those values starts with these bytes.
Bytes encode_key_prefix(const Format& format, const TableDef& table, const RealIndex& index,
                        const std::vector<Value>& leading);

// One column's part of a key: flag byte and value bytes.
void append_column_key(Bytes& out, const Format& format, const TableDef& table, const Column& column,
                       bool ascending, const Value& value);

// The column of a table by its number; throws naming the table when the index names a missing one.
const Column& index_column(const TableDef& table, const IndexColumn& ic);

}  // namespace jet
