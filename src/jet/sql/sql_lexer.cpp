// Splits SQL text into tokens; see sql_lexer.h.
#include "jet/sql/sql_lexer.h"

#include "jet/schema/names.h"

namespace jet::sql {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }
// Bytes of UTF-8 sequences count as letters, so that names such as "Sørensen" stay one name.
bool starts_name(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}
bool continues_name(char c) { return starts_name(c) || is_digit(c); }


class Lexer {
public:
    explicit Lexer(std::string_view text) : s_(text) {}

    std::vector<Token> run() {
        std::vector<Token> out;
        out.reserve(s_.size() / 3 + 2);   // enough for ordinary statements, so the list rarely regrows
        for (;;) {
            while (pos_ < s_.size() && is_space(s_[pos_])) ++pos_;
            if (pos_ >= s_.size()) break;
            Token t = next();
            const bool stop = t.kind == TokenKind::Invalid;
            out.push_back(std::move(t));
            if (stop) break;
        }
        Token end;
        end.begin = end.end = pos_ < s_.size() ? pos_ : s_.size();
        out.push_back(end);
        return out;
    }

private:
    Token make(TokenKind kind, std::size_t begin, std::string_view text) {
        Token t;
        t.kind = kind;
        t.text = text;
        t.begin = begin;
        t.end = pos_;
        return t;
    }

    Token invalid(std::size_t begin, InvalidReason why) {
        pos_ = s_.size();
        Token t = make(TokenKind::Invalid, begin, s_.substr(begin));
        t.invalid = why;
        return t;
    }

    Token next() {
        const std::size_t begin = pos_;
        const char c = s_[pos_];
        if (starts_name(c)) {
            while (pos_ < s_.size() && continues_name(s_[pos_])) ++pos_;
            return make(TokenKind::Name, begin, s_.substr(begin, pos_ - begin));
        }
        if (is_digit(c) || (c == '.' && pos_ + 1 < s_.size() && is_digit(s_[pos_ + 1]))) return number(begin);
        if (c == '\'' || c == '"') return quoted(begin, c);
        if (c == '[') {
            const std::size_t close = s_.find(']', pos_ + 1);
            if (close == std::string_view::npos || close == pos_ + 1) return invalid(begin, InvalidReason::UnterminatedName);
            pos_ = close + 1;
            return make(TokenKind::QuotedName, begin, s_.substr(begin + 1, close - begin - 1));
        }
        if (c == '#') {
            const std::size_t close = s_.find('#', pos_ + 1);
            if (close == std::string_view::npos) return invalid(begin, InvalidReason::UnterminatedDate);
            pos_ = close + 1;
            return make(TokenKind::Date, begin, s_.substr(begin + 1, close - begin - 1));
        }
        if (c == '<' || c == '>') {
            ++pos_;
            if (pos_ < s_.size() && (s_[pos_] == '=' || (c == '<' && s_[pos_] == '>'))) ++pos_;
            return make(TokenKind::Symbol, begin, s_.substr(begin, pos_ - begin));
        }
        if (c == '=' || c == '(' || c == ')' || c == ',' || c == ';' || c == '*' || c == '-') {
            ++pos_;
            return make(TokenKind::Symbol, begin, s_.substr(begin, 1));
        }
        return invalid(begin, InvalidReason::UnknownCharacter);
    }

    Token number(std::size_t begin) {
        bool decimal = false;
        while (pos_ < s_.size() && is_digit(s_[pos_])) ++pos_;
        if (pos_ < s_.size() && s_[pos_] == '.') {
            decimal = true;
            ++pos_;
            while (pos_ < s_.size() && is_digit(s_[pos_])) ++pos_;
        }
        // An exponent only when digits follow, so that "1e" stays a number then a name.
        if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
            std::size_t p = pos_ + 1;
            if (p < s_.size() && (s_[p] == '+' || s_[p] == '-')) ++p;
            if (p < s_.size() && is_digit(s_[p])) {
                while (p < s_.size() && is_digit(s_[p])) ++p;
                pos_ = p;
                decimal = true;
            }
        }
        return make(decimal ? TokenKind::Decimal : TokenKind::Integer, begin, s_.substr(begin, pos_ - begin));
    }

    Token quoted(std::size_t begin, char quote) {
        ++pos_;
        for (;;) {
            const std::size_t close = s_.find(quote, pos_);
            if (close == std::string_view::npos) return invalid(begin, InvalidReason::UnterminatedString);
            pos_ = close + 1;
            if (pos_ < s_.size() && s_[pos_] == quote) {  // doubled quote: part of the content
                ++pos_;
                continue;
            }
            Token t = make(TokenKind::String, begin, s_.substr(begin + 1, close - begin - 1));
            t.quote = quote;
            return t;
        }
    }

    std::string_view s_;
    std::size_t pos_ = 0;
};

}  // namespace

bool Token::is_keyword(std::string_view word) const { return kind == TokenKind::Name && names_equal(text, word); }

std::string string_value(const Token& t) {
    std::string out;
    out.reserve(t.text.size());
    for (std::size_t i = 0; i < t.text.size(); ++i) {
        out += t.text[i];
        if (t.text[i] == t.quote) ++i;  // the second of a doubled pair
    }
    return out;
}

std::vector<Token> tokenize(std::string_view text) { return Lexer(text).run(); }

}  // namespace jet::sql
