#pragma once

#include <Python.h>

#include <string>

namespace pure_plinx {

// The attribute names the module looks up, interned once per interpreter runtime.
PyObject* all_name();
PyObject* qualname_name();

// The __qualname__ of `type` for messages, or "<failed to extract type name>".
std::string qualified_type_name(PyTypeObject* type);

}  // namespace pure_plinx
