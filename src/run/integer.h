// Integer: the 16-bit signed whole number every counter, cursor and number of a run is
// held in, checked like the old runtime (error 6 "Overflow" past -32768..32767, fractions
// rounded half to even), and List: a list numbered from 0 whose positions are checked
// (error 9 "Subscript out of range").
#pragma once

#include "db/types.h"

#include <compare>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

[[noreturn]] void throw_overflow();
[[noreturn]] void throw_subscript();

class Integer {
public:
    constexpr Integer() = default;
    // Implicit so that counters read naturally (StepIndex = 1); a value that does not fit
    // is an overflow, as it would be on assignment in the old runtime.
    constexpr Integer(long long v) : value_(checked(v)) {}

    // Rounds half to even, then checks the range.
    static Integer from_double(double v);
    // A field value: Null is error 94, text that is no number error 13, too large error 6.
    static Integer from_value(const db::Value& v);

    constexpr std::int16_t value() const { return value_; }
    // Plain decimal digits, a minus sign for negatives: the form used in SQL and log lines.
    std::string text() const { return std::to_string(value_); }

    constexpr Integer operator+(Integer o) const { return Integer(static_cast<long long>(value_) + o.value_); }
    constexpr Integer operator-(Integer o) const { return Integer(static_cast<long long>(value_) - o.value_); }
    constexpr Integer operator*(Integer o) const { return Integer(static_cast<long long>(value_) * o.value_); }
    constexpr Integer operator-() const { return Integer(-static_cast<long long>(value_)); }
    constexpr Integer& operator+=(Integer o) { return *this = *this + o; }
    constexpr Integer& operator-=(Integer o) { return *this = *this - o; }

    constexpr bool operator==(const Integer&) const = default;
    constexpr auto operator<=>(const Integer&) const = default;

private:
    static constexpr std::int16_t checked(long long v) {
        if (v < -32768 || v > 32767) throw_overflow();
        return static_cast<std::int16_t>(v);
    }
    std::int16_t value_ = 0;
};

// Entries 0 to upper(); entry 0 exists and, by convention, is never used.
template <class T>
class List {
public:
    List() : items_(1) {}
    explicit List(Integer upper) : items_(static_cast<std::size_t>(upper.value()) + 1) {}

    T& operator[](Integer i) { return items_[index(i)]; }
    const T& operator[](Integer i) const { return items_[index(i)]; }

    // Re-dimensions to entries 0 to upper, keeping the entries that remain.
    void redim_preserve(Integer upper) {
        if (upper.value() < 0) throw_subscript();
        items_.resize(static_cast<std::size_t>(upper.value()) + 1);
    }
    Integer upper() const { return Integer(static_cast<long long>(items_.size()) - 1); }

private:
    std::size_t index(Integer i) const {
        if (i.value() < 0 || static_cast<std::size_t>(i.value()) >= items_.size()) throw_subscript();
        return static_cast<std::size_t>(i.value());
    }
    std::vector<T> items_;
};

}  // namespace sim
