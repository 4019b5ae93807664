#include "host/conversions.hpp"

#include <string>

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

unsigned threads_argument(nb::handle threads) {
    if (threads.is_none()) return 0;
    if (!PyLong_Check(threads.ptr()) || PyBool_Check(threads.ptr()))
        throw nb::type_error(("threads must be an int or None, not " +
                              std::string(nb::type_name(threads.type()).c_str())).c_str());
    int overflow = 0;
    const long long value = PyLong_AsLongLongAndOverflow(threads.ptr(), &overflow);
    if (overflow != 0 || value < 1 || value > 1024)
        throw nb::value_error(("threads must be between 1 and 1024, not " + std::string(nb::repr(threads).c_str())).c_str());
    return static_cast<unsigned>(value);
}

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
