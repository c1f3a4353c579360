// The values of Access 2007+ complex columns (attachments, multi-value lists, the history of an
// append-only memo), gathered from the hidden tables that hold them. A row's complex column
// holds only a key (read as a Long); these are the values behind it.
#pragma once

#include "jet/base/bytes.h"
#include "jet/database.h"
#include "jet/schema/complex_column.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace jet {

struct Attachment {
    std::string name, type;     // file name and extension, as Access keeps them
    std::uint64_t size = 0;     // bytes of the file
    Bytes contents;             // the file itself, only when read with AttachmentFiles::Contents
};

// Listings need only the sizes; the files themselves are read when asked for.
enum class AttachmentFiles { SizeOnly, Contents };

struct MemoVersion {
    Value text;
    Value modified;             // Date/Time
};

// One row's value of a complex column: the list of its column's kind (the others stay empty).
struct ComplexValue {
    std::vector<Value> values;               // multi-value, in the hidden table's order
    std::vector<Attachment> attachments;     // in the hidden table's order
    std::vector<MemoVersion> versions;       // oldest first
};

struct ComplexColumnValues {
    ComplexKind kind = ComplexKind::Unknown;
    std::unordered_map<std::int32_t, ComplexValue> by_key;
    // The value of the row whose complex column holds `key` (empty when nothing carries it).
    const ComplexValue& of(std::int32_t key) const;
};

// Every value of `column`, a complex column of `table`, read from its hidden table. 3049 naming
// the table and column when MSysComplexColumns does not lead to a hidden table for it.
ComplexColumnValues read_complex_column(Database& db, const TableDef& table, const Column& column,
                                        AttachmentFiles files = AttachmentFiles::SizeOnly);

}  // namespace jet
