// Storing Memo and OLE values: inline in the row up to 64 bytes, else one row on an LVAL
// page up to the format's single-row limit, else a chain of LVAL rows. LVAL pages belong
// to the column's own usage maps. The LVAL rows are written before the caller writes the
// row that points at them.
#pragma once

#include "jet/schema/table_def.h"
#include "jet/storage/page_file.h"

namespace jet {

// The bytes a Memo/OLE value stores (Memo text encoded as the column's Text would be).
Bytes long_value_data(const Column& column, const Value& value, const Format& format);

// Writes the value's LVAL rows when it is not inline and returns the row's field image:
// the 12-byte header, followed by the data when inline.
Bytes write_long_value(PageFile& file, const TableDef& table, const Column& column, const Bytes& data);

}  // namespace jet
