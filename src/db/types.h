// The engine's types as the simulator uses them: field values, the conversions applied to
// them and the error every failure is. Handed on here so that run/, terminals/ and results/
// need no engine header of their own.
#pragma once

#include "jet/base/error.h"
#include "jet/value/value.h"

namespace db {

using jet::DateTime;
using jet::JetError;
using jet::Value;
namespace err = jet::err;

using jet::from_civil;
using jet::local_civil_now;
using jet::parse_number_text;
using jet::to_bool;
using jet::to_double;
using jet::to_integer;
using jet::to_long;
using jet::to_text;

}  // namespace db
