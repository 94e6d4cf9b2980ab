#include "arguments.hpp"

#include <string>
#include <vector>

#include "failures.hpp"

namespace pure_plinx {
namespace {

std::string full_name(const ArgumentSpec& spec) {
  return std::string(spec.class_name) + "." + spec.function_name + "()";
}

void bind_positional(const ArgumentSpec& spec, PyObject* const* arguments, Py_ssize_t count,
                     std::span<PyObject*> bound) {
  const auto given = static_cast<std::size_t>(count);
  if (given > spec.positional.size()) {
    throw_new_error(PyExc_TypeError, "%s takes %zu positional arguments but %zd %s given",
                    full_name(spec).c_str(), spec.positional.size(), count,
                    count == 1 ? "was" : "were");
  }
  for (std::size_t index = 0; index < given; ++index) bound[index] = arguments[index];
}

void bind_keyword(const ArgumentSpec& spec, PyObject* name, PyObject* value,
                  std::span<PyObject*> bound) {
  for (std::size_t index = 0; index < spec.positional.size(); ++index) {
    if (PyUnicode_Check(name) &&
        PyUnicode_CompareWithASCIIString(name, spec.positional[index]) == 0) {
      if (bound[index] != nullptr) {
        throw_new_error(PyExc_TypeError, "%s got multiple values for argument '%S'",
                        full_name(spec).c_str(), name);
      }
      bound[index] = value;
      return;
    }
  }
  throw_new_error(PyExc_TypeError, "%s got an unexpected keyword argument '%S'",
                  full_name(spec).c_str(), name);
}

// "'a'", "'a' and 'b'", "'a', 'b' and 'c'", as Python lists missing arguments.
std::string quoted_list(const std::vector<const char*>& names) {
  std::string list;
  for (std::size_t index = 0; index < names.size(); ++index) {
    if (index > 0) list += index + 1 == names.size() ? " and " : ", ";
    list += std::string("'") + names[index] + "'";
  }
  return list;
}

void check_required(const ArgumentSpec& spec, std::span<PyObject*> bound) {
  std::size_t index = 0;
  while (index < spec.required && bound[index] != nullptr) ++index;
  if (index == spec.required) return;
  std::vector<const char*> missing;
  for (; index < spec.required; ++index) {
    if (bound[index] == nullptr) missing.push_back(spec.positional[index]);
  }
  throw_new_error(PyExc_TypeError, "%s missing %zu required positional %s: %s",
                  full_name(spec).c_str(), missing.size(),
                  missing.size() == 1 ? "argument" : "arguments", quoted_list(missing).c_str());
}

}  // namespace

void bind_vector(const ArgumentSpec& spec, PyObject* const* arguments, Py_ssize_t positional_count,
                 PyObject* keyword_names, std::span<PyObject*> bound) {
  bind_positional(spec, arguments, positional_count, bound);
  const Py_ssize_t keyword_count = keyword_names ? PyTuple_GET_SIZE(keyword_names) : 0;
  for (Py_ssize_t index = 0; index < keyword_count; ++index) {
    bind_keyword(spec, PyTuple_GET_ITEM(keyword_names, index), arguments[positional_count + index],
                 bound);
  }
  check_required(spec, bound);
}

void bind_tuple_and_dict(const ArgumentSpec& spec, PyObject* positional, PyObject* keywords,
                         std::span<PyObject*> bound) {
  if (positional != nullptr) {
    bind_positional(spec, reinterpret_cast<PyTupleObject*>(positional)->ob_item,
                    PyTuple_GET_SIZE(positional), bound);
  }
  if (keywords != nullptr) {
    Py_ssize_t position = 0;
    PyObject* name = nullptr;
    PyObject* value = nullptr;
    while (PyDict_Next(keywords, &position, &name, &value)) bind_keyword(spec, name, value, bound);
  }
  check_required(spec, bound);
}

}  // namespace pure_plinx
