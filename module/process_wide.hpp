#pragma once

#include <Python.h>

#include <utility>

#include "py_ref.hpp"

namespace pure_plinx {

// The object in `cell`, made by `create` on first need and kept until the process ends.
// Cells are only touched under the interpreter lock, but creating may run Python code, which
// can let another thread create and store one first: that one then stays and the new one is
// released, so every caller sees the same object. A failed creation (a null PyRef, with an
// error pending) leaves the cell as it was and gives null.
template <typename Create>
PyObject* create_once(PyObject*& cell, Create&& create) {
  if (cell != nullptr) return cell;
  PyRef created = std::forward<Create>(create)();
  if (!created) return nullptr;
  if (cell == nullptr) cell = created.release();
  return cell;
}

}  // namespace pure_plinx
