// Sort keys of text for index entries: the byte strings Jet compares when it orders text in
// an index, for the collations Access uses with LCID 1033 (Access 97 "General", Access 2000-2007
// "General Legacy", Access 2010+ "General"). Characters outside the collation tables we carry
// are refused, never guessed.
#pragma once

#include "jet/schema/table_def.h"
#include "jet/storage/format.h"
#include "jet/value/value.h"

#include <optional>
#include <string_view>

namespace jet {

// General97Ascii: Access 97 "General" in a database whose code page is not Windows-1252; our
// tables follow Windows-1252, so only ASCII is encoded there.
// General: Access 2010+, General Legacy's rules with codes of its own.
enum class TextCollation { General97, General97Ascii, GeneralLegacy, General };

// The collation of a Text/Memo column's index entries; nullopt for a sort order we cannot write.
std::optional<TextCollation> text_collation(const Format& format, const Column& column);

// Appends the key bytes of a non-null text (UTF-8), without the column's flag byte: at most
// 255 characters count and trailing spaces do not. Returns false and appends nothing when a
// character has no code in the collation (then the key cannot be encoded exactly).
bool append_text_sort_key(Bytes& out, std::string_view utf8, TextCollation collation, bool ascending);

}  // namespace jet
