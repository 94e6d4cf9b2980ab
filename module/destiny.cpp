#include "destiny.hpp"

#include "failures.hpp"
#include "py_ref.hpp"

namespace pure_plinx {
namespace {

static_assert(sizeof(long) == sizeof(std::int64_t), "PyLong_AsLong must read 64 bits");

// Python's traceback module prints this when an exception's str() fails.
constexpr const char kUnprintable[] = "<exception str() failed>";

// A TypeError of the conversion names the argument, keeping the original's cause.
[[noreturn]] void throw_conversion_error() {
  PythonError error = take_error_or_resume_panic();
  if (error.type() != PyExc_TypeError) throw std::move(error);
  error.normalize();
  PyRef text = PyRef::steal(PyObject_Str(error.value()));
  if (!text) {
    PyErr_Clear();
    text = PyRef::steal(PyUnicode_FromString(kUnprintable));
    if (!text) throw_pending_error();
  }
  const PyRef message = PyRef::steal(PyUnicode_FromFormat("argument 'destiny': %U", text.get()));
  if (!message) throw_pending_error();
  PyRef renamed = PyRef::steal(PyObject_CallOneArg(PyExc_TypeError, message.get()));
  if (!renamed) throw_pending_error();
  // PyException_SetCause steals the cause, and GetCause hands out a new reference.
  PyException_SetCause(renamed.get(), PyException_GetCause(error.value()));
  throw PythonError(std::move(renamed));
}

std::int64_t read_long(PyObject* integer) {
  const long value = PyLong_AsLong(integer);
  // -1 is a destiny like any other; only a pending error makes it a failure.
  if (value == -1 && PyErr_Occurred()) throw_conversion_error();
  return value;
}

}  // namespace

std::int64_t destiny_from(PyObject* argument) {
  // An int subclass is read by its int value: its own __index__ is never consulted.
  if (PyLong_Check(argument)) return read_long(argument);
  const PyRef index = PyRef::steal(PyNumber_Index(argument));
  if (!index) throw_conversion_error();
  return read_long(index.get());
}

}  // namespace pure_plinx
