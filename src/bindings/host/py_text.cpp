#include "host/py_text.hpp"

#include <string>

namespace callfold::py {

std::string_view utf8_view(nb::handle object, const char* what) {
    if (!PyUnicode_Check(object.ptr())) {
        const std::string message = std::string(what) + " must be str, not " +
                                    std::string(nb::type_name(object.type()).c_str());
        throw nb::type_error(message.c_str());
    }
    Py_ssize_t size = 0;
    const char* data = PyUnicode_AsUTF8AndSize(object.ptr(), &size);
    if (data == nullptr) throw nb::python_error();
    return {data, static_cast<std::size_t>(size)};
}

nb::str to_str(std::string_view text) { return nb::str(text.data(), text.size()); }

bool is_true(nb::handle object) {
    const int truth = PyObject_IsTrue(object.ptr());
    if (truth < 0) throw nb::python_error();
    return truth == 1;
}

LineViews line_views(nb::handle iterable, const char* what) {
    LineViews result;
    if (PyList_CheckExact(iterable.ptr()) || PyTuple_CheckExact(iterable.ptr())) {
        const Py_ssize_t size = PySequence_Fast_GET_SIZE(iterable.ptr());
        result.owners.reserve(static_cast<std::size_t>(size));
        result.views.reserve(static_cast<std::size_t>(size));
    }
    for (nb::handle item : iterable) {
        result.owners.push_back(nb::borrow(item));
        result.views.push_back(utf8_view(item, what));
    }
    return result;
}

}  // namespace callfold::py
