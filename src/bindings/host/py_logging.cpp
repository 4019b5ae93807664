#include "host/py_logging.hpp"

#include <nanobind/nanobind.h>

namespace nb = nanobind;

namespace callfold::py {
namespace {

nb::object to_python(const LogArg& argument) {
    struct Visitor {
        nb::object operator()(const Absent&) const { return nb::none(); }
        nb::object operator()(std::int64_t value) const { return nb::int_(value); }
        nb::object operator()(const std::string& text) const { return nb::str(text.data(), text.size()); }
        nb::object operator()(const PathArg& path) const {
            PyObject* text = PyUnicode_DecodeFSDefaultAndSize(path.bytes.data(), static_cast<Py_ssize_t>(path.bytes.size()));
            if (text == nullptr) throw nb::python_error();
            return nb::steal(text);
        }
        nb::object operator()(const std::vector<std::string>& texts) const {
            nb::list list;
            for (const auto& text : texts) list.append(nb::str(text.data(), text.size()));
            return list;
        }
    };
    return std::visit(Visitor{}, argument);
}

}  // namespace

LogSink root_logger_sink() {
    return [](LogLevel level, const char* format, std::vector<LogArg> args) {
        nb::gil_scoped_acquire gil;
        nb::object logging = nb::module_::import_("logging");
        nb::object log = logging.attr(level == LogLevel::warning ? "warning" : "info");
        PyObject* call_args = PyTuple_New(static_cast<Py_ssize_t>(args.size() + 1));
        if (call_args == nullptr) throw nb::python_error();
        nb::object tuple = nb::steal(call_args);
        PyTuple_SET_ITEM(call_args, 0, nb::str(format).release().ptr());
        for (std::size_t i = 0; i < args.size(); ++i)
            PyTuple_SET_ITEM(call_args, static_cast<Py_ssize_t>(i + 1), to_python(args[i]).release().ptr());
        PyObject* result = PyObject_Call(log.ptr(), call_args, nullptr);
        if (result == nullptr) throw nb::python_error();
        Py_DECREF(result);
    };
}

}  // namespace callfold::py
