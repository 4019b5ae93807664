#include "unifier/whole_job.hpp"

#include "common/input_location.hpp"
#include "common/output_guard.hpp"

namespace callfold::unifier {

bool unify_files(const InputPaths& paths, const std::string& output_path,
                 const std::vector<std::string>& drop_sv_filters, const RecordOptions& options, const LogSink& log) {
    const InputLines inputs = read_struct_lines(paths, drop_sv_filters, log);
    // Read errors come first; the output is checked before it is opened.
    std::vector<KeyedInput> present;
    for (std::size_t type = 0; type < file_type_count; ++type)
        if (paths[type]) present.push_back({file_type_keys[type], *paths[type]});
    refuse_unified_output_over_inputs(output_path, present);
    LinesByType lines{};
    for (std::size_t type = 0; type < file_type_count; ++type)
        if (inputs[type]) lines[type] = &inputs[type]->lines;
    try {
        return unify_lines(lines, output_path, options, log);
    } catch (InputLocation& located) {
        // The writer knows the input's type; the path is known here.
        for (std::size_t type = 0; type < file_type_count; ++type)
            if (paths[type] && located.path.empty() && located.input == input_name(file_type_keys[type]))
                located.path = *paths[type];
        throw;
    }
}

}  // namespace callfold::unifier
