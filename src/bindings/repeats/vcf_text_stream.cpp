#include "repeats/vcf_text_stream.hpp"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "host/conversions.hpp"
#include "host/python_host.hpp"
#include "repeats/record_span.hpp"

namespace callfold::py::repeats {
namespace {

class VcfTextStream {
public:
    VcfTextStream(std::unique_ptr<callfold::LineStream> reader, std::string name)
        : reader_(std::move(reader)), name_(std::move(name)) {}

    nb::str next_line() {
        const std::string_view line = next_view();
        if (line.data() == nullptr) throw nb::stop_iteration();
        return to_str(line);
    }

    nb::str readline() {
        const std::string_view line = next_view();
        return line.data() == nullptr ? nb::str("") : to_str(line);
    }

    nb::str read() {
        require_open();
        const HostScope host(python_host(false));
        try {
            return to_str(reader_->read_rest());
        } catch (...) {
            callfold::rethrow_read_error(*reader_, "repeat VCF", lines_read_);
        }
    }

    void close() { reader_.reset(); }
    bool closed() const { return reader_ == nullptr; }
    const std::string& name() const { return name_; }

private:
    void require_open() const {
        if (reader_ == nullptr) throw nb::value_error("I/O operation on closed file.");
    }

    // A null view at the end of the text.
    std::string_view next_view() {
        require_open();
        std::string_view line;
        const HostScope host(python_host(false));
        try {
            if (!reader_->next(line)) return {};
        } catch (...) {
            callfold::rethrow_read_error(*reader_, "repeat VCF", lines_read_);
        }
        ++lines_read_;
        if (line.data() == nullptr) line = std::string_view("", 0);
        return line;
    }

    std::unique_ptr<callfold::LineStream> reader_;
    std::string name_;
    std::uint64_t lines_read_ = 0;  // to say where a read error arose
};

}  // namespace

void bind_vcf_text_stream(nb::module_& module) {
    nb::class_<VcfTextStream>(module, "_VcfTextStream",
                              "Lines of a VCF as str, each with its \"\\n\" (the last may lack it), read\n"
                              "as strict UTF-8 with universal newlines; gzip members are read in turn.")
        .def("__iter__", [](nb::handle self) { return nb::borrow(self); },
             nb::sig("def __iter__(self) -> _VcfTextStream"))
        .def("__next__", &VcfTextStream::next_line)
        .def("readline", &VcfTextStream::readline, "The next line, or \"\" at the end.")
        .def("read", &VcfTextStream::read, "Everything not read yet, as one str.")
        .def("close", &VcfTextStream::close, "Release the file; later reads raise ValueError.")
        .def_prop_ro("closed", &VcfTextStream::closed)
        .def_prop_ro("name", [](const VcfTextStream& stream) { return path_result(stream.name()); })
        .def("__enter__", [](nb::handle self) { return nb::borrow(self); },
             nb::sig("def __enter__(self) -> _VcfTextStream"))
        .def(
            "__exit__", [](VcfTextStream& stream, nb::args) { stream.close(); },
            nb::sig("def __exit__(self, *args: object) -> None"));

    module.def(
        "_open_vcf_text",
        [](nb::handle path) {
            const std::string file = path_argument(path, "path");
            std::unique_ptr<callfold::LineStream> reader =
                run_released([&] { return callfold::repeats::open_vcf_text(file); });
            return VcfTextStream(std::move(reader), file);
        },
        nb::arg("path"), nb::sig("def _open_vcf_text(path: str | os.PathLike[str]) -> _VcfTextStream"),
        "Open the VCF at path for reading as text, gzip-decompressed when its first two\n"
        "bytes are the gzip magic number (never judged by the name). The caller closes it.");
}

}  // namespace callfold::py::repeats
