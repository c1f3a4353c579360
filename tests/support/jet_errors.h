// What a step throws, for tests that expect the engine to refuse: the JetError itself, or
// number 0 ("no error") when the step throws none.
#pragma once

#include "jet/base/error.h"

#include <functional>

namespace testsupport {

inline jet::JetError error_of(const std::function<void()>& step) {
    try {
        step();
    } catch (const jet::JetError& e) {
        return e;
    }
    return jet::JetError(0, "no error");
}

inline int error_number(const std::function<void()>& step) { return error_of(step).number(); }

}  // namespace testsupport
