// run: the whole job, from input paths to the sorted BGZF file.
#include <nanobind/nanobind.h>

#include "host/py_interrupts.hpp"
#include "host/py_logging.hpp"
#include "host/py_paths.hpp"
#include "host/py_text.hpp"
#include "operations.hpp"
#include "options.hpp"
#include "unifier/whole_job.hpp"

namespace callfold::py {

void def_run(nb::module_& m) {
    m.def(
        "run",
        [](nb::handle output_path, nb::handle sv_path, nb::handle cnv_path, nb::handle repeat_path,
           nb::handle roh_bed_path, nb::handle skip_svtype, nb::handle drop_sv_filters) -> nb::object {
            nb::module_ unifier_module = nb::module_::import_("Callfold.unifier");
            nb::object tokens = PyUnicode_Check(drop_sv_filters.ptr()) ? nb::make_tuple(drop_sv_filters)
                                                                       : nb::tuple(drop_sv_filters);
            nb::object options = unifier_module.attr("UnifyOptions")(
                nb::arg("add_repeat_svtype").none() = is_true(skip_svtype) ? nb::object(nb::bool_(false)) : nb::none(),
                nb::arg("drop_sv_filters").none() = tokens);

            const std::string output = path_argument(output_path, "output_path");
            unifier::InputPaths paths;
            const std::array<nb::handle, unifier::file_type_count> given = {sv_path, cnv_path, repeat_path, roh_bed_path};
            constexpr const char* names[] = {"sv_path", "cnv_path", "repeat_path", "roh_bed_path"};
            for (std::size_t type = 0; type < unifier::file_type_count; ++type)
                if (!given[type].is_none()) paths[type] = path_argument(given[type], names[type]);
            const unifier::RecordOptions record = record_options(options);
            const std::vector<std::string> filters = py::drop_sv_filters(options);

            const bool written =
                run_released([&] { return unifier::unify_files(paths, output, filters, record, root_logger_sink()); });
            if (!written) return nb::none();
            // Looked up now, not at load, so that a replacement bound later is the one called.
            return unifier_module.attr("sort_and_compress")(output_path);
        },
        nb::arg("output_path").none(), nb::arg("sv_path").none() = nb::none(), nb::arg("cnv_path").none() = nb::none(),
        nb::arg("repeat_path").none() = nb::none(), nb::arg("roh_bed_path").none() = nb::none(),
        nb::arg("skip_svtype").none() = false, nb::arg("drop_sv_filters").none() = nb::tuple(),
        nb::sig("def run(output_path: str, sv_path: Optional[str] = None, cnv_path: Optional[str] = None, "
                "repeat_path: Optional[str] = None, roh_bed_path: Optional[str] = None, skip_svtype: bool = False, "
                "drop_sv_filters: Sequence[str] = ()) -> Optional[str]"),
        "Unify the inputs into output_path, then sort and BGZF-compress it.\n\n"
        "Returns the path of the compressed file (the uncompressed one does not remain), or\n"
        "None when no input could donate a header. FILTER tokens in drop_sv_filters leave\n"
        "their SV records out; skip_svtype true never adds \"SVTYPE=\" to repeat records.\n"
        "ValueError when output_path, or its compressed name, is one of the inputs, or when\n"
        "an appended input's sample columns disagree with the header donor's.");
}

}  // namespace callfold::py
