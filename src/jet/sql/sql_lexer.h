// Tokens of the Jet SQL subset: names (plain or [bracketed]), numbers, 'text' and "text"
// literals (a doubled quote stands for one), #date# literals and operators. The lexer never
// throws: text it cannot read becomes an Invalid token, and the parser reports it with the
// error number that fits the statement around it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace jet::sql {

enum class TokenKind {
    Name,         // plain name or keyword; keywords are recognised by the parser, case-insensitively
    QuotedName,   // [bracketed name]: never a keyword
    Integer,      // digits only
    Decimal,      // digits with a fraction or an exponent
    String,       // text is the literal's content as written: string_value() undoes doubled quotes
    Date,         // text is what stands between the # signs
    Symbol,       // = <> < > <= >= ( ) , ; * -
    Invalid,      // see InvalidReason
    End,
};

enum class InvalidReason { None, UnterminatedString, UnterminatedDate, UnterminatedName, UnknownCharacter };

// A token's text views the statement text, which must outlive it.
struct Token {
    TokenKind kind = TokenKind::End;
    std::string_view text;
    char quote = 0;          // of a String: the quote character that encloses it
    std::size_t begin = 0;   // byte offsets into the statement text
    std::size_t end = 0;
    InvalidReason invalid = InvalidReason::None;

    bool is_symbol(std::string_view s) const { return kind == TokenKind::Symbol && text == s; }
    bool is_keyword(std::string_view word) const;   // plain Name equal to `word`, ignoring ASCII case
};

// A String token's value: its content with each doubled quote taken as one.
std::string string_value(const Token& t);

// All tokens of `text`, ending with one End token. Scanning stops at the first Invalid token,
// which is then followed by End.
std::vector<Token> tokenize(std::string_view text);

}  // namespace jet::sql
