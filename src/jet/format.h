// The two on-disk formats the engine handles (Jet 3 / Access 97 and Jet 4 / Access 2000-2003)
// and every offset and size that differs between them, so that code elsewhere never tests
// the version directly.
#pragma once

#include <cstdint>

namespace jet {

enum class Version : std::uint8_t { Jet3 = 0, Jet4 = 1 };

struct Format {
    Version version;
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
    static const Format& of(Version v) { return v == Version::Jet3 ? jet3_format() : jet4_format(); }
};

inline const Format& Format::jet3_format() {
    static const Format f{Version::Jet3, 2048, 126,
                          8, 10, 2012,
                          12, 16, 20, 21, 23, 25, 27, 31, 35, 39, 43, 8, 18, 39, 20, 1,
                          1,
                          133, 33,
                          8, 12, 16, 20, 1, 22, 226, 248, 1800,
                          2032, 64};
    return f;
}

inline const Format& Format::jet4_format() {
    static const Format f{Version::Jet4, 4096, 128,
                          12, 14, 4060,
                          16, 20, 40, 41, 43, 45, 47, 51, 55, 59, 63, 12, 25, 52, 28, 2,
                          2,
                          69, 17,
                          12, 16, 20, 24, 2, 27, 453, 480, 3616,
                          4076, 64};
    return f;
}

}  // namespace jet
