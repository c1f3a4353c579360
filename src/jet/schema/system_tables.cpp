// System table layouts. Columns, flags and indexes are those of the databases Access and the
// Jet engine create; the engines store no compressed text in their own tables and leave the
// descriptors' second column number 0.
#include "jet/schema/system_tables.h"

#include "jet/schema/catalog.h"
#include "jet/schema/table_design.h"

namespace jet {
namespace {

constexpr std::uint32_t kComplexTemplate = 0x80030000u;  // what the ACE engine flags its type templates with
constexpr std::uint8_t kSecurityIdColumn = 0x20;         // the Owner and SID columns
constexpr std::uint8_t kAttachmentColumn = 0x10;         // extended flag of the attachment template's columns

ColumnDesign col(const char* name, ColumnType type) {
    ColumnDesign c;
    c.name = name;
    c.type = type;
    c.size = 255;
    return c;
}
IndexDesign index_spec(const char* name, std::vector<IndexColumnDesign> columns) {
    IndexDesign s;
    s.name = name;
    s.columns = std::move(columns);
    return s;
}
IndexDesign unique_index(const char* name, std::vector<IndexColumnDesign> columns) {
    IndexDesign s = index_spec(name, std::move(columns));
    s.unique = true;
    return s;
}

TableDesign msys_objects_spec() {
    using T = ColumnType;
    return TableDesign{"MSysObjects",
                     {col("Id", T::Long), col("ParentId", T::Long), col("Name", T::Text), col("Type", T::Integer),
                      col("DateCreate", T::DateTime), col("DateUpdate", T::DateTime), col("Owner", T::Binary),
                      col("Flags", T::Long), col("Database", T::Memo), col("Connect", T::Memo),
                      col("ForeignName", T::Text), col("RmtInfoShort", T::Binary), col("RmtInfoLong", T::Ole),
                      col("Lv", T::Ole), col("LvProp", T::Ole), col("LvModule", T::Ole), col("LvExtra", T::Ole)},
                     {unique_index("ParentIdName", {{"ParentId"}, {"Name"}}), unique_index("Id", {{"Id"}})}};
}

TableDesign msys_aces_spec() {
    using T = ColumnType;
    IndexDesign object = index_spec("ObjectId", {{"ObjectId"}});
    object.required = true;
    return TableDesign{"MSysACEs",
                     {col("ObjectId", T::Long), col("SID", T::Binary), col("ACM", T::Long), col("FInheritable", T::Boolean)},
                     {object}};
}

TableDesign msys_queries_spec(const Format& format) {
    using T = ColumnType;
    TableDesign s{"MSysQueries",
                {col("ObjectId", T::Long), col("Attribute", T::Byte), col("Order", T::Binary), col("Name1", T::Text),
                 col("Name2", T::Text), col("Expression", T::Memo), col("Flag", T::Integer)},
                {unique_index("ObjectIdAttribute", {{"ObjectId"}, {"Attribute"}, {"Order"}})}};
    if (format.jet4()) s.columns.push_back(col("LvExtra", T::Long));
    return s;
}

TableDesign msys_relationships_spec() {
    using T = ColumnType;
    auto by = [](const char* name) {
        IndexDesign s = index_spec(name, {{name}});
        s.ignore_nulls = true;
        return s;
    };
    return TableDesign{"MSysRelationships",
                     {col("szRelationship", T::Text), col("grbit", T::Long), col("ccolumn", T::Long), col("icolumn", T::Long),
                      col("szObject", T::Text), col("szColumn", T::Text), col("szReferencedObject", T::Text),
                      col("szReferencedColumn", T::Text)},
                     {by("szRelationship"), by("szObject"), by("szReferencedObject")}};
}

TableDesign msys_complex_columns_spec() {
    using T = ColumnType;
    ColumnDesign id = col("ComplexID", T::Long);
    id.autonumber = true;
    auto by = [](const char* name, const char* column) {
        IndexDesign s = index_spec(name, {{column}});
        s.ignore_nulls = true;
        s.required = true;
        return s;
    };
    IndexDesign primary = by("IdxID", "ComplexID");
    primary.primary = true;
    return TableDesign{"MSysComplexColumns",
                       {col("ColumnName", T::Text), col("ComplexTypeObjectID", T::Long), col("FlatTableID", T::Long),
                        col("ConceptualTableID", T::Long), id},
                       {primary, by("IdxConceptualTableID", "ConceptualTableID"), by("IdxFlatTableID", "FlatTableID")}};
}

// A layout as the engines give their own tables: no compressed text, every column in the
// database's sort order.
TableDef engine_table(const Format& format, const TableDesign& design, std::uint8_t sort_version) {
    TableDef t = layout_table(format, design);
    for (Column& c : t.columns) {
        c.ext_flags = 0;
        c.misc = 0;
        c.sort_version = sort_version;
    }
    return t;
}

// An engine table in the system form: system flag on every column, Binary as long as Text, the
// security-id columns marked, the index named `primary` the primary key, and table type 'S'
// (MSysComplexColumns keeps a user table's 'N').
SystemTable system_table(const Format& format, const TableDesign& design, std::uint8_t sort_version, const char* primary,
                         std::uint8_t table_type = 0x53) {
    SystemTable s{engine_table(format, design, sort_version), object_flags::Engine};
    TableDef& t = s.def;
    t.table_type = table_type;
    for (Column& c : t.columns) {
        c.flags |= column_flags::System;
        if (c.type == ColumnType::Binary) {
            c.length = format.jet4() ? 510 : 255;
            if (c.name == "Owner" || c.name == "SID") c.flags |= kSecurityIdColumn;
        }
    }
    for (LogicalIndex& l : t.logical_indexes)
        if (primary != nullptr && l.name == primary) l.type = LogicalIndexType::Primary;
    return s;
}

// A template of one complex column's values: a table of one column "Value" (the attachment
// template has the columns of an attachment instead).
SystemTable complex_type(const Format& format, const char* kind, std::vector<ColumnDesign> columns, std::uint8_t sort_version) {
    const TableDesign design{std::string("MSysComplexType_") + kind, std::move(columns), {}};
    return {engine_table(format, design, sort_version), kComplexTemplate, false};
}

std::vector<SystemTable> ace_tables(const Format& format, std::uint8_t sort_version) {
    using T = ColumnType;
    std::vector<SystemTable> out;
    out.push_back(system_table(format, msys_complex_columns_spec(), sort_version, nullptr, 0x4E));
    out.back().owned = false;
    const std::pair<const char*, ColumnType> single[] = {{"UnsignedByte", T::Byte}, {"Short", T::Integer},
                                                         {"Long", T::Long},         {"IEEESingle", T::Single},
                                                         {"IEEEDouble", T::Double}, {"GUID", T::Guid}};
    for (const auto& [kind, type] : single) out.push_back(complex_type(format, kind, {col("Value", type)}, sort_version));

    // Access keeps the Decimal template's column variable, 9 bytes long, precision 18.
    SystemTable decimal = complex_type(format, "Decimal", {col("Value", T::Text)}, sort_version);
    Column& value = decimal.def.columns.front();
    value.type = T::Decimal;
    value.length = 9;
    value.precision = 18;
    out.push_back(std::move(decimal));

    out.push_back(complex_type(format, "Text", {col("Value", T::Text)}, sort_version));
    SystemTable attachment = complex_type(format, "Attachment",
                                          {col("FileURL", T::Memo), col("FileName", T::Text), col("FileType", T::Text),
                                           col("FileData", T::Ole), col("FileTimeStamp", T::DateTime),
                                           col("FileFlags", T::Long)},
                                          sort_version);
    for (Column& c : attachment.def.columns) c.ext_flags = kAttachmentColumn;
    out.push_back(std::move(attachment));
    return out;
}

}  // namespace

std::vector<SystemTable> system_tables(const Format& format, std::uint8_t sort_version) {
    std::vector<SystemTable> out;
    out.push_back(system_table(format, msys_objects_spec(), sort_version, "Id"));
    out.push_back(system_table(format, msys_aces_spec(), sort_version, nullptr));
    out.push_back(system_table(format, msys_queries_spec(format), sort_version, "ObjectIdAttribute"));
    out.push_back(system_table(format, msys_relationships_spec(), sort_version, nullptr));
    if (format.ace)
        for (SystemTable& t : ace_tables(format, sort_version)) out.push_back(std::move(t));
    return out;
}

}  // namespace jet
