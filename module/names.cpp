#include "names.hpp"

#include <cstring>

#include "failures.hpp"
#include "py_ref.hpp"

namespace pure_plinx {
namespace {

PyObject* intern_once(PyObject*& cell, const char* text) {
  if (cell != nullptr) return cell;
  PyObject* name = PyUnicode_FromStringAndSize(text, static_cast<Py_ssize_t>(std::strlen(text)));
  if (name == nullptr) throw_pending_error();
  PyUnicode_InternInPlace(&name);
  if (cell == nullptr) {
    cell = name;
  } else {
    Py_DECREF(name);
  }
  return cell;
}

PyObject* interned_all = nullptr;
PyObject* interned_qualname = nullptr;

}  // namespace

PyObject* all_name() { return intern_once(interned_all, "__all__"); }

PyObject* qualname_name() { return intern_once(interned_qualname, "__qualname__"); }

std::string qualified_type_name(PyTypeObject* type) {
  const PyRef name =
      PyRef::steal(PyObject_GetAttr(reinterpret_cast<PyObject*>(type), qualname_name()));
  Py_ssize_t size = 0;
  const char* utf8 =
      name && PyUnicode_Check(name.get()) ? PyUnicode_AsUTF8AndSize(name.get(), &size) : nullptr;
  if (utf8 == nullptr) {
    // The name only decorates a message, so its failure is dropped (a panic still resumes).
    if (PyErr_Occurred()) fetch_pending_error();
    return "<failed to extract type name>";
  }
  return std::string(utf8, static_cast<std::size_t>(size));
}

}  // namespace pure_plinx
