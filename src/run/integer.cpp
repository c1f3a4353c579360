// Checked 16-bit Integer: the errors and conversions that need the engine's value rules.
#include "run/integer.h"

#include <cmath>

namespace sim {

void throw_overflow() { throw db::JetError(db::err::Overflow, "Overflow"); }
void throw_subscript() { throw db::JetError(db::err::SubscriptOutOfRange, "Subscript out of range"); }

Integer Integer::from_double(double v) {
    if (!std::isfinite(v) || v < -32768.5 || v > 32767.5) throw_overflow();
    return Integer(static_cast<long long>(std::nearbyint(v)));  // default rounding mode: half to even
}

Integer Integer::from_value(const db::Value& v) { return Integer(db::to_integer(v)); }

}  // namespace sim
