#pragma once

#include <Python.h>

#include <cstddef>
#include <span>

namespace pure_plinx {

// What a bound callable accepts. Its full name in messages is "{class}.{function}()".
struct ArgumentSpec {
  const char* class_name;
  const char* function_name;
  std::span<const char* const> positional;  // parameter names, in order
  std::size_t required;                     // the first `required` of them must be given
};

// Binds a vectorcall's arguments (positional ones, then the values of `keyword_names`) to the
// parameters of `spec`, one borrowed reference per slot of `bound`, or throws the TypeError
// Python programmers know from functions written in Python.
void bind_vector(const ArgumentSpec& spec, PyObject* const* arguments, Py_ssize_t positional_count,
                 PyObject* keyword_names, std::span<PyObject*> bound);

// The same for a tuple of positional arguments and a dictionary of keyword arguments, either
// of which may be null.
void bind_tuple_and_dict(const ArgumentSpec& spec, PyObject* positional, PyObject* keywords,
                         std::span<PyObject*> bound);

}  // namespace pure_plinx
