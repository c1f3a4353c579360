// Recursive-descent parser over the tokens of sql_lexer; see sql_parser.h.
// Precedence, loosest first: OR, AND, NOT, comparison / IS [NOT] NULL, unary minus.
#include "jet/sql/sql_parser.h"

#include "jet/base/error.h"
#include "jet/sql/sql_lexer.h"

#include <charconv>
#include <fmt/format.h>
#include <cstdint>
#include <limits>

namespace jet::sql {
namespace {

// An error inside an expression; the clause around it turns it into a 3075 naming the
// expression's text.
struct ExprFailure {
    InvalidReason reason = InvalidReason::None;
    bool bad_date = false;
};

bool is_reserved(const Token& t) {
    static constexpr std::string_view words[] = {"AND", "OR", "NOT", "IS", "NULL", "TRUE", "FALSE", "WHERE", "SET",
                                                 "FROM", "SELECT", "UPDATE", "INSERT", "INTO", "VALUES", "DELETE"};
    for (std::string_view w : words)
        if (t.is_keyword(w)) return true;
    return false;
}

bool is_name(const Token& t) {
    return t.kind == TokenKind::QuotedName || (t.kind == TokenKind::Name && !is_reserved(t));
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\n')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n')) s.remove_suffix(1);
    return s;
}

Value integer_literal(std::string_view digits) {
    std::int64_t v = 0;
    auto [p, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v);
    if (ec == std::errc() && p == digits.data() + digits.size() && v <= std::numeric_limits<std::int32_t>::max())
        return Value::long_(static_cast<std::int32_t>(v));
    double d = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), d);
    return Value::double_(d);
}

Value decimal_literal(std::string_view text) {
    double d = 0;
    std::from_chars(text.data(), text.data() + text.size(), d);
    return Value::double_(d);
}

// Where the text of a failing expression ends, as Jet quotes it in its message.
enum class ExprEnd {
    Statement,   // a WHERE condition: the rest of the statement
    Item,        // a SET or VALUES item: up to the next ',' or WHERE or the closing ')'
};

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text), toks_(tokenize(text)) {}

    Statement statement() {
        const Token& first = peek();
        if (first.is_keyword("SELECT")) return finish(select());
        if (first.is_keyword("UPDATE")) return finish(update());
        if (first.is_keyword("INSERT")) return finish(insert());
        if (first.is_keyword("DELETE") || first.is_keyword("PROCEDURE"))
            throw JetError(err::Unsupported, "This engine runs no " + std::string(first.text) + " statements: '" + std::string(text_) + "'.");
        throw JetError(err::InvalidSqlStatement,
                       "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'.");
    }

    // A lone expression: it runs to the end of the text.
    Expr lone_expression() {
        Expr e = condition();
        if (!at_end()) expression_error(0, ExprEnd::Statement, {});
        return e;
    }

private:
    const Token& peek() const { return toks_[pos_]; }
    const Token& take() {
        const Token& t = toks_[pos_];
        if (t.kind != TokenKind::End) ++pos_;
        return t;
    }
    bool accept_keyword(std::string_view w) {
        if (!peek().is_keyword(w)) return false;
        ++pos_;
        return true;
    }
    bool accept_symbol(std::string_view s) {
        if (!peek().is_symbol(s)) return false;
        ++pos_;
        return true;
    }
    bool at_end() const { return peek().kind == TokenKind::End; }

    // Parentheses, NOTs and minus signs nest by recursion: a limit keeps a hostile statement
    // (or a value spliced into one) from exhausting the stack.
    static constexpr int kMaxNesting = 100;
    class Nested {
    public:
        explicit Nested(int& depth) : depth_(depth) {
            if (++depth_ > kMaxNesting)
                throw JetError(err::QueryTooComplex, fmt::format("Query is too complex (more than {} levels of "
                                                                 "parentheses, NOT or minus signs).", kMaxNesting));
        }
        ~Nested() { --depth_; }
        Nested(const Nested&) = delete;
        Nested& operator=(const Nested&) = delete;

    private:
        int& depth_;
    };
    int nesting_ = 0;

    template <typename S>
    Statement finish(S stmt) {
        accept_symbol(";");
        if (!at_end()) throw JetError(err::CharactersAfterEnd, "Characters found after end of SQL statement.");
        return Statement(std::move(stmt));
    }

    [[noreturn]] static void fail(int number) {
        switch (number) {
        case err::SyntaxErrorInUpdate: throw JetError(number, "Syntax error in UPDATE statement.");
        case err::SyntaxErrorInInsert: throw JetError(number, "Syntax error in INSERT INTO statement.");
        case err::SyntaxErrorFromClause: throw JetError(number, "Syntax error in FROM clause.");
        default:
            throw JetError(err::SyntaxErrorInSelect, "The SELECT statement includes a reserved word or an argument name "
                                                     "that is misspelled or missing, or the punctuation is incorrect.");
        }
    }

    std::string table(int error) {
        if (!is_name(peek())) fail(error);
        return std::string(take().text);
    }

    SelectStmt select() {
        take();
        SelectStmt s;
        if (!accept_symbol("*")) {
            if (is_name(peek()))
                throw JetError(err::Unsupported, "Only SELECT * is supported, not a list of columns: '" + std::string(text_) + "'.");
            fail(err::SyntaxErrorInSelect);
        }
        if (!accept_keyword("FROM")) fail(err::SyntaxErrorInSelect);
        s.table = table(err::SyntaxErrorFromClause);
        if (accept_keyword("WHERE")) s.where = condition();
        else if (!at_end() && !peek().is_symbol(";")) fail(err::SyntaxErrorFromClause);
        return s;
    }

    UpdateStmt update() {
        take();
        UpdateStmt u;
        u.table = table(err::SyntaxErrorInUpdate);
        if (!accept_keyword("SET")) fail(err::SyntaxErrorInUpdate);
        do {
            if (!is_name(peek())) fail(err::SyntaxErrorInUpdate);
            Assignment a;
            a.column = take().text;
            if (!accept_symbol("=")) fail(err::SyntaxErrorInUpdate);
            a.value = item(err::SyntaxErrorInUpdate);
            if (!peek().is_symbol(",") && !peek().is_keyword("WHERE") && !peek().is_symbol(";") && !at_end())
                expression_error(a_begin_, ExprEnd::Item, {});
            u.assignments.push_back(std::move(a));
        } while (accept_symbol(","));
        if (accept_keyword("WHERE")) u.where = condition();
        return u;
    }

    InsertStmt insert() {
        take();
        InsertStmt ins;
        if (!accept_keyword("INTO")) fail(err::SyntaxErrorInInsert);
        ins.table = table(err::SyntaxErrorInInsert);
        if (!accept_symbol("(")) fail(err::SyntaxErrorInInsert);
        do {
            if (!is_name(peek())) fail(err::SyntaxErrorInInsert);
            ins.columns.emplace_back(take().text);
        } while (accept_symbol(","));
        if (!accept_symbol(")") || !accept_keyword("VALUES") || !accept_symbol("(")) fail(err::SyntaxErrorInInsert);
        do {
            ins.values.push_back(item(err::SyntaxErrorInInsert));
            if (!peek().is_symbol(",") && !peek().is_symbol(")")) {
                if (at_end()) fail(err::SyntaxErrorInInsert);
                expression_error(a_begin_, ExprEnd::Item, {});
            }
        } while (accept_symbol(","));
        if (!accept_symbol(")")) fail(err::SyntaxErrorInInsert);
        if (ins.values.size() != ins.columns.size())
            throw JetError(err::InsertValueCount, "Number of query values and destination fields are not the same.");
        return ins;
    }

    // A WHERE condition: it runs to the end of the statement.
    Expr condition() {
        const std::size_t begin = pos_;
        Expr e;
        try {
            e = or_expr();
        } catch (const ExprFailure& f) {
            expression_error(begin, ExprEnd::Statement, f);
        }
        if (!at_end() && !peek().is_symbol(";")) expression_error(begin, ExprEnd::Statement, {});
        return e;
    }

    // A SET value or an INSERT value; a missing one is an error of the statement.
    Expr item(int statement_error) {
        a_begin_ = pos_;
        const Token& t = peek();
        if (t.kind == TokenKind::End || t.is_symbol(",") || t.is_symbol(")") || t.is_symbol(";") || t.is_keyword("WHERE"))
            fail(statement_error);
        try {
            return or_expr();
        } catch (const ExprFailure& f) {
            expression_error(a_begin_, ExprEnd::Item, f);
        }
    }

    [[noreturn]] void expression_error(std::size_t first_token, ExprEnd end, const ExprFailure& f) {
        std::size_t stop = text_.size();
        InvalidReason reason = f.reason;
        int depth = 0;
        for (std::size_t i = first_token; i < toks_.size(); ++i) {
            const Token& t = toks_[i];
            if (t.kind == TokenKind::Invalid && reason == InvalidReason::None) reason = t.invalid;  // the likelier cause
            if (t.kind == TokenKind::End || t.kind == TokenKind::Invalid) break;
            if (t.is_symbol("(")) ++depth;
            else if (t.is_symbol(")") && --depth < 0 && end == ExprEnd::Item) { stop = t.begin; break; }
            if (depth == 0 && end == ExprEnd::Item && (t.is_symbol(",") || t.is_keyword("WHERE"))) { stop = t.begin; break; }
        }
        const std::size_t begin = toks_[first_token].begin;
        std::string_view expr = trim(text_.substr(begin, stop > begin ? stop - begin : 0));
        if (end == ExprEnd::Statement && !expr.empty() && expr.back() == ';') expr = trim(expr.substr(0, expr.size() - 1));
        const char* what = "Syntax error (missing operator) in query expression '";
        if (reason == InvalidReason::UnterminatedString) what = "Syntax error in string in query expression '";
        else if (reason == InvalidReason::UnterminatedDate || f.bad_date) what = "Syntax error in date in query expression '";
        throw JetError(err::SyntaxErrorInQuery, what + std::string(expr) + "'.");
    }

    Expr or_expr() {
        Expr first = and_expr();
        if (!peek().is_keyword("OR")) return first;
        Expr chain = chain_of(ExprKind::Or, std::move(first));
        while (accept_keyword("OR")) chain.args.push_back(and_expr());
        return chain;
    }

    Expr and_expr() {
        Expr first = not_expr();
        if (!peek().is_keyword("AND")) return first;
        Expr chain = chain_of(ExprKind::And, std::move(first));
        while (accept_keyword("AND")) chain.args.push_back(not_expr());
        return chain;
    }

    static Expr chain_of(ExprKind kind, Expr&& first) {
        Expr e;
        e.kind = kind;
        e.args.reserve(4);
        e.args.push_back(std::move(first));
        return e;
    }

    Expr not_expr() {
        if (!accept_keyword("NOT")) return comparison();
        const Nested nested(nesting_);
        Expr e;
        e.kind = ExprKind::Not;
        e.args.push_back(not_expr());
        return e;
    }

    Expr comparison() {
        Expr left = operand();
        const Token& t = peek();
        if (t.kind == TokenKind::Symbol) {
            static constexpr std::pair<std::string_view, CompareOp> ops[] = {
                {"=", CompareOp::Eq}, {"<>", CompareOp::Ne}, {"<", CompareOp::Lt},
                {">", CompareOp::Gt}, {"<=", CompareOp::Le}, {">=", CompareOp::Ge}};
            for (auto [text, op] : ops) {
                if (t.text != text) continue;
                take();
                Expr e = binary(ExprKind::Compare, std::move(left), operand());
                e.op = op;
                return e;
            }
        }
        if (accept_keyword("IS")) {
            Expr e;
            e.kind = ExprKind::IsNull;
            e.negated = accept_keyword("NOT");
            if (!accept_keyword("NULL")) throw ExprFailure{};
            e.args.push_back(std::move(left));
            return e;
        }
        return left;
    }

    Expr operand() {
        if (!accept_symbol("-")) return primary();
        const Nested nested(nesting_);
        Expr inner = operand();
        if (inner.kind == ExprKind::Literal) {  // fold, so that "Round > -1" reads as column op literal
            if (inner.value.kind() == ValueKind::Long && inner.value.as_int32() != std::numeric_limits<std::int32_t>::min()) {
                inner.value = Value::long_(-inner.value.as_int32());
                return inner;
            }
            if (inner.value.kind() == ValueKind::Double) {
                inner.value = Value::double_(-inner.value.as_double_raw());
                return inner;
            }
        }
        Expr e;
        e.kind = ExprKind::Negate;
        e.args.push_back(std::move(inner));
        return e;
    }

    Expr primary() {
        const Token& t = take();
        Expr e;
        switch (t.kind) {
        case TokenKind::Integer: e.value = integer_literal(t.text); return e;
        case TokenKind::Decimal: e.value = decimal_literal(t.text); return e;
        case TokenKind::String: e.value = Value::text(string_value(t)); return e;
        case TokenKind::Date: {
            DateTime d;
            if (!parse_date_text(std::string(t.text), d)) throw ExprFailure{InvalidReason::None, true};
            e.value = Value::date(d);
            return e;
        }
        case TokenKind::QuotedName:
            e.kind = ExprKind::Column;
            e.name = t.text;
            return e;
        case TokenKind::Name:
            if (t.is_keyword("NULL")) return e;
            if (t.is_keyword("TRUE") || t.is_keyword("FALSE")) {
                e.value = Value::boolean(t.is_keyword("TRUE"));
                return e;
            }
            if (is_reserved(t)) throw ExprFailure{};
            e.kind = ExprKind::Column;
            e.name = t.text;
            return e;
        case TokenKind::Symbol:
            if (t.text == "(") {
                const Nested nested(nesting_);
                e = or_expr();
                if (!accept_symbol(")")) throw ExprFailure{};
                return e;
            }
            throw ExprFailure{};
        case TokenKind::Invalid: throw ExprFailure{t.invalid};
        case TokenKind::End: throw ExprFailure{};
        }
        throw ExprFailure{};
    }

    static Expr binary(ExprKind kind, Expr&& left, Expr&& right) {
        Expr e;
        e.kind = kind;
        e.args.reserve(2);
        e.args.push_back(std::move(left));
        e.args.push_back(std::move(right));
        return e;
    }

    std::string_view text_;
    std::vector<Token> toks_;
    std::size_t pos_ = 0;
    std::size_t a_begin_ = 0;   // first token of the SET / VALUES item being read
};

}  // namespace

Statement parse_sql(std::string_view text) { return Parser(text).statement(); }

Expr parse_expression(std::string_view text) { return Parser(text).lone_expression(); }

const std::string& table_name(const Statement& stmt) {
    return std::visit([](const auto& s) -> const std::string& { return s.table; }, stmt);
}

}  // namespace jet::sql
