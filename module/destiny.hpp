#pragma once

#include <Python.h>

#include <cstdint>

namespace pure_plinx {

// Converts the `destiny` argument of a draw to a signed 64-bit integer: an int (bool and other
// subclasses included, by their int value) or any object with __index__, never through
// __int__. A TypeError from the conversion gains the prefix "argument 'destiny': "; other
// errors, OverflowError included, pass through unchanged.
std::int64_t destiny_from(PyObject* argument);

}  // namespace pure_plinx
