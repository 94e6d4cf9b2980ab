#include "names.hpp"

#include <cstring>

#include "failures.hpp"
#include "py_ref.hpp"
#include "runtime_cell.hpp"

namespace pure_plinx {
namespace {

PyObject* intern_once(RuntimeCell& cell, const char* text) {
  return cell.get_or_create([text] {
    PyObject* name = PyUnicode_FromStringAndSize(text, static_cast<Py_ssize_t>(std::strlen(text)));
    if (name == nullptr) throw_pending_error();
    PyUnicode_InternInPlace(&name);
    return PyRef::steal(name);
  });
}

RuntimeCell interned_all;
RuntimeCell interned_qualname;

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
    // The name only decorates a message, so its failure is dropped.
    drop_error_or_resume_panic();
    return "<failed to extract type name>";
  }
  return std::string(utf8, static_cast<std::size_t>(size));
}

}  // namespace pure_plinx
