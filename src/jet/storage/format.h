// The two page layouts the engine handles (Jet 3 / Access 97 and Jet 4 / Access 2000-2003)
// and every offset and size that differs between them, so that code elsewhere never tests
// the version directly. Access 2007 and later (ACE, .accdb) lay pages out as Jet 4; their
// Format says so in `ace`, for the few column types and key forms only they have.
#pragma once

#include <cstdint>

namespace jet {

enum class Version : std::uint8_t { Jet3 = 0, Jet4 = 1 };

struct Format {
    Version version;                         // the page layout
    bool ace = false;                        // an Access 2007+ file (Jet 4's page layout)
    std::uint32_t page_size;
    // Header masking
    std::uint32_t header_mask_length;
    // Data pages
    std::uint32_t data_row_count_offset;     // also where the row-offset table's count sits
    std::uint32_t data_first_row_offset;     // first entry of the row-offset table
    std::uint32_t max_row_size;
    // Table definitions
    std::uint32_t tdef_row_count_offset;
    std::uint32_t tdef_autonumber_offset;
    std::uint32_t tdef_table_type_offset;
    std::uint32_t tdef_max_columns_offset;
    std::uint32_t tdef_var_columns_offset;
    std::uint32_t tdef_columns_offset;
    std::uint32_t tdef_logical_index_count_offset;
    std::uint32_t tdef_real_index_count_offset;
    std::uint32_t tdef_owned_map_offset;
    std::uint32_t tdef_free_map_offset;
    std::uint32_t tdef_header_size;
    std::uint32_t real_index_count_block;
    std::uint32_t column_descriptor_size;
    std::uint32_t real_index_descriptor_size;
    std::uint32_t logical_index_descriptor_size;
    std::uint32_t name_length_size;          // 1 (Jet3) or 2 (Jet4) bytes before each name
    // Rows
    std::uint32_t row_count_field_size;      // column count / var offsets: 1 (Jet3) or 2 (Jet4)
    // Usage maps
    std::uint32_t inline_map_row_size;       // 133 / 69
    std::uint32_t reference_map_pointers;    // 33 / 17
    // Index pages
    std::uint32_t index_prev_offset;
    std::uint32_t index_next_offset;
    std::uint32_t index_tail_offset;
    std::uint32_t index_prefix_offset;
    std::uint32_t index_prefix_size;         // 1 / 2 bytes
    std::uint32_t index_bitmap_offset;
    std::uint32_t index_bitmap_size;
    std::uint32_t index_first_entry_offset;
    std::uint32_t index_max_entry_space;     // 1800 / 3616
    // Long values
    std::uint32_t max_single_lval_row;       // 2032 / 4076
    std::uint32_t max_inline_long_value;     // 64

    bool jet3() const { return version == Version::Jet3; }
    bool jet4() const { return version == Version::Jet4; }
    std::uint32_t empty_data_page_free_space() const { return page_size - data_first_row_offset; }

    static const Format& jet3_format();
    static const Format& jet4_format();
    static const Format& ace_format();
    static const Format& of(Version v) { return v == Version::Jet3 ? jet3_format() : jet4_format(); }
};

inline const Format& Format::jet3_format() {
    static const Format f{
        .version = Version::Jet3,
        .page_size = 2048,
        .header_mask_length = 126,
        .data_row_count_offset = 8,
        .data_first_row_offset = 10,
        .max_row_size = 2012,
        .tdef_row_count_offset = 12,
        .tdef_autonumber_offset = 16,
        .tdef_table_type_offset = 20,
        .tdef_max_columns_offset = 21,
        .tdef_var_columns_offset = 23,
        .tdef_columns_offset = 25,
        .tdef_logical_index_count_offset = 27,
        .tdef_real_index_count_offset = 31,
        .tdef_owned_map_offset = 35,
        .tdef_free_map_offset = 39,
        .tdef_header_size = 43,
        .real_index_count_block = 8,
        .column_descriptor_size = 18,
        .real_index_descriptor_size = 39,
        .logical_index_descriptor_size = 20,
        .name_length_size = 1,
        .row_count_field_size = 1,
        .inline_map_row_size = 133,
        .reference_map_pointers = 33,
        .index_prev_offset = 8,
        .index_next_offset = 12,
        .index_tail_offset = 16,
        .index_prefix_offset = 20,
        .index_prefix_size = 1,
        .index_bitmap_offset = 22,
        .index_bitmap_size = 226,
        .index_first_entry_offset = 248,
        .index_max_entry_space = 1800,
        .max_single_lval_row = 2032,
        .max_inline_long_value = 64,
    };
    return f;
}

inline const Format& Format::jet4_format() {
    static const Format f{
        .version = Version::Jet4,
        .page_size = 4096,
        .header_mask_length = 128,
        .data_row_count_offset = 12,
        .data_first_row_offset = 14,
        .max_row_size = 4060,
        .tdef_row_count_offset = 16,
        .tdef_autonumber_offset = 20,
        .tdef_table_type_offset = 40,
        .tdef_max_columns_offset = 41,
        .tdef_var_columns_offset = 43,
        .tdef_columns_offset = 45,
        .tdef_logical_index_count_offset = 47,
        .tdef_real_index_count_offset = 51,
        .tdef_owned_map_offset = 55,
        .tdef_free_map_offset = 59,
        .tdef_header_size = 63,
        .real_index_count_block = 12,
        .column_descriptor_size = 25,
        .real_index_descriptor_size = 52,
        .logical_index_descriptor_size = 28,
        .name_length_size = 2,
        .row_count_field_size = 2,
        .inline_map_row_size = 69,
        .reference_map_pointers = 17,
        .index_prev_offset = 12,
        .index_next_offset = 16,
        .index_tail_offset = 20,
        .index_prefix_offset = 24,
        .index_prefix_size = 2,
        .index_bitmap_offset = 27,
        .index_bitmap_size = 453,
        .index_first_entry_offset = 480,
        .index_max_entry_space = 3616,
        .max_single_lval_row = 4076,
        .max_inline_long_value = 64,
    };
    return f;
}

inline const Format& Format::ace_format() {
    static const Format f = [] {
        Format f4 = jet4_format();
        f4.ace = true;
        return f4;
    }();
    return f;
}

}  // namespace jet
