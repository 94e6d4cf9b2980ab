#pragma once

#include <Python.h>

namespace pure_plinx {

// The Plinx class: created on first need, then kept until the interpreter runtime ends. Throws a
// PythonError (RuntimeError "An error occurred while initializing class Plinx", caused by
// the underlying error) when the type cannot be created.
PyTypeObject* plinx_type();

}  // namespace pure_plinx
