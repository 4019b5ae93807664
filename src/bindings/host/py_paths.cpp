#include "host/py_paths.hpp"

namespace callfold::py {

std::string path_argument(nb::handle object, const char* what) {
    nb::object text = nb::borrow(object);
    if (!PyUnicode_Check(object.ptr())) {
        PyObject* converted = PyOS_FSPath(object.ptr());
        if (converted == nullptr) {
            PyErr_Clear();
            const std::string message = std::string(what) + " must be str or os.PathLike, not " +
                                        std::string(nb::type_name(object.type()).c_str());
            throw nb::type_error(message.c_str());
        }
        text = nb::steal(converted);
        if (!PyUnicode_Check(text.ptr())) {
            const std::string message = std::string(what) + " must name a str path, not " +
                                        std::string(nb::type_name(text.type()).c_str());
            throw nb::type_error(message.c_str());
        }
    }
    nb::object encoded = nb::steal(PyUnicode_EncodeFSDefault(text.ptr()));
    if (!encoded.is_valid()) throw nb::python_error();
    char* data = nullptr;
    Py_ssize_t size = 0;
    if (PyBytes_AsStringAndSize(encoded.ptr(), &data, &size) != 0) throw nb::python_error();
    return std::string(data, static_cast<std::size_t>(size));
}

std::optional<std::string> optional_path_argument(nb::handle object, const char* what) {
    if (object.is_none()) return std::nullopt;
    return path_argument(object, what);
}

nb::str path_result(std::string_view path) {
    PyObject* text = PyUnicode_DecodeFSDefaultAndSize(path.data(), static_cast<Py_ssize_t>(path.size()));
    if (text == nullptr) throw nb::python_error();
    return nb::steal<nb::str>(text);
}

}  // namespace callfold::py
