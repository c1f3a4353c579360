// Text sort keys: the byte strings Access writes for text in an index (checked byte for byte
// against Access files by index_fixture_test), and the rules around them.
#include "jet/index/text_sort.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using jet::Bytes;
using jet::TextCollation;

Bytes key(const std::string& text, TextCollation c, bool ascending = true) {
    Bytes out;
    EXPECT_TRUE(jet::append_text_sort_key(out, text, c, ascending)) << text;
    return out;
}

// Ascending keys are compared with the ones Access wrote; few fixture indexes descend.
TEST(TextSortKeys, DescendingInvertsAndGeneralLegacyAddsAFinalZero) {
    EXPECT_EQ(key("z", TextCollation::General97, false), (Bytes{0x81, 0xFF}));
    Bytes asc = key("O'Brien", TextCollation::GeneralLegacy);
    Bytes desc = key("O'Brien", TextCollation::GeneralLegacy, false);
    ASSERT_EQ(desc.size(), asc.size() + 1);
    for (std::size_t i = 0; i < asc.size(); ++i) EXPECT_EQ(desc[i], static_cast<std::uint8_t>(~asc[i])) << i;
    EXPECT_EQ(desc.back(), 0x00);
}

// Access 2010 "General": two-byte codes, the hyphen in the unprintable stream as in General
// Legacy (entry bytes of an Access 2010 file).
TEST(TextSortKeys, GeneralHasTwoByteCodesAndGeneralLegacyRules) {
    EXPECT_EQ(key("-1", TextCollation::General), (Bytes{0x0D, 0x19, 0x01, 0x01, 0x01, 0x01, 0x80, 0x07, 0x06, 0x82, 0x00}));
    EXPECT_EQ(key("-1", TextCollation::GeneralLegacy), (Bytes{0x38, 0x01, 0x01, 0x01, 0x01, 0x80, 0x07, 0x06, 0x82, 0x00}));
}

TEST(TextSortKeys, CaseDoesNotCountAndTrailingSpacesAreIgnored) {
    for (auto c : {TextCollation::General97, TextCollation::GeneralLegacy, TextCollation::General}) {
        EXPECT_EQ(key("Smith", c), key("SMITH", c));
        EXPECT_EQ(key("ab   ", c), key("ab", c));
        EXPECT_NE(key(" ab", c), key("ab", c));
    }
}

TEST(TextSortKeys, OnlyTheFirst255CharactersCount) {
    const std::string base(255, 'q');
    for (auto c : {TextCollation::General97, TextCollation::GeneralLegacy, TextCollation::General})
        EXPECT_EQ(key(base + "tail", c), key(base + "other", c));
}

TEST(TextSortKeys, AccentsSortAfterTheBaseLetter) {
    for (auto c : {TextCollation::General97, TextCollation::GeneralLegacy, TextCollation::General}) {
        EXPECT_LT(key("Rene", c), key("René", c));
        EXPECT_LT(key("René", c), key("Renes", c));
    }
}

// Beyond U+00FF (Latin Extended, Greek, Cyrillic, Hebrew, Arabic, Vietnamese, fullwidth) the
// letters follow the rules of the Latin-1 ones, and a combining mark raises the accent of the
// letter before it to that of the precomposed letter.
TEST(TextSortKeys, ExtendedLettersSortLikeLatin1Ones) {
    for (auto c : {TextCollation::GeneralLegacy, TextCollation::General}) {
        EXPECT_EQ(key("Łukasz Dvořák", c), key("ŁUKASZ DVOŘÁK", c));
        EXPECT_EQ(key("Дмитрий Νίκος", c), key("ДМИТРИЙ ΝΊΚΟΣ", c));
        EXPECT_EQ(key("Rene\u0301", c), key("René", c));
        EXPECT_LT(key("Dvorak", c), key("Dvořák", c));
        EXPECT_LT(key("Dvořák", c), key("Dvoraks", c));
        EXPECT_LT(key("Zeus", c), key("Αθήνα", c));
        EXPECT_LT(key("Αθήνα", c), key("Дмитрий", c));
        EXPECT_LT(key("אבי", c), key("אברהם", c));
        EXPECT_LT(key("سعيد", c), key("سلمى", c));
        EXPECT_EQ(key("Nguyễn", c), key("NGUYỄN", c));
        EXPECT_LT(key("Nguyen", c), key("Nguyễn", c));
        EXPECT_LT(key("O’Brien", c), key("O’Neill", c));
        EXPECT_EQ(key("Ｙａｍａｄａ １２", c), key("yamada 12", c));  // fullwidth letters and digits
    }
}

// Every code our extended tables carry reads: a mistyped one would refuse its character.
TEST(TextSortKeys, EveryCharacterOfTheExtendedTablesEncodes) {
    auto utf8 = [](char32_t c) {
        if (c < 0x800) return std::string{static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
        return std::string{static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)),
                           static_cast<char>(0x80 | (c & 0x3F))};
    };
    for (auto c : {TextCollation::GeneralLegacy, TextCollation::General})
        for (auto [first, last] : {std::pair<char32_t, char32_t>{0x0100, 0x20CF}, {0x3000, 0x30FF},
                                   {0x4E00, 0x9FA5}, {0xAC00, 0xD7A3}, {0xFF00, 0xFFEF}})
            for (char32_t ch = first; ch <= last; ++ch) {
                Bytes out;
                EXPECT_TRUE(jet::append_text_sort_key(out, "a" + utf8(ch), c, true)) << std::hex << static_cast<std::uint32_t>(ch);
            }
}

// The codes of ideographs and Hangul syllables are counts; these are codes the Jackcess tables
// list: first, last, and after codes the counts pass over.
TEST(TextSortKeys, IdeographsAndHangulCountAsTheCodeTablesList) {
    EXPECT_EQ(key("仮", TextCollation::General), (Bytes{0xFD, 0xFF, 0x3D, 0x5A, 0x01, 0x00}));
    EXPECT_EQ(key("\u9FBB", TextCollation::General), (Bytes{0xFD, 0xFF, 0x8E, 0xC9, 0x01, 0x00}));
    EXPECT_EQ(key("가한힣", TextCollation::GeneralLegacy),
              (Bytes{0x81, 0x03, 0xAB, 0x75, 0xAD, 0xC0, 0x01, 0x00}));
    EXPECT_EQ(key("가국한힣", TextCollation::General),
              (Bytes{0xC0, 0x03, 0xC1, 0x73, 0xEA, 0x4C, 0xEC, 0x98, 0x01, 0x00}));
    EXPECT_EQ(key("다", TextCollation::General), (Bytes{0xC7, 0x08, 0x01, 0x03, 0x00}));  // listed with an accent
}

TEST(TextSortKeys, CharactersBeyondTheTablesAreRefused) {
    Bytes out{0x7F};
    EXPECT_FALSE(jet::append_text_sort_key(out, "㐀", TextCollation::GeneralLegacy, true));  // CJK Extension A
    EXPECT_FALSE(jet::append_text_sort_key(out, "Ann 😀", TextCollation::General, true));
    EXPECT_FALSE(jet::append_text_sort_key(out, "5 ⅓", TextCollation::General, true));
    EXPECT_FALSE(jet::append_text_sort_key(out, "Dvořák", TextCollation::General97, true));
    EXPECT_FALSE(jet::append_text_sort_key(out, "\xC3", TextCollation::GeneralLegacy, true));  // cut UTF-8
    EXPECT_EQ(out, Bytes{0x7F});
    // Access 97 folds a few Windows-1252 characters beyond U+00FF onto their code page byte.
    EXPECT_TRUE(jet::append_text_sort_key(out, "5 €", TextCollation::General97, true));
}

TEST(TextSortKeys, Jet3DatabaseInAnotherCodePageEncodesAsciiOnly) {
    jet::Column column;
    column.code_page = 1250;
    const auto collation = jet::text_collation(jet::Format::jet3_format(), column);
    ASSERT_TRUE(collation);
    Bytes out;
    EXPECT_TRUE(jet::append_text_sort_key(out, "Novak", *collation, true));
    EXPECT_FALSE(jet::append_text_sort_key(out, "Müller", *collation, true));
    column.code_page = 1252;
    EXPECT_EQ(jet::text_collation(jet::Format::jet3_format(), column), TextCollation::General97);
}

}  // namespace
