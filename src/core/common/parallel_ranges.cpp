#include "common/parallel_ranges.hpp"

#include <algorithm>

namespace callfold {

std::size_t ranges_for(std::size_t count, std::size_t per_range) {
    const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    return std::max<std::size_t>(1, std::min(cores, (count + per_range - 1) / per_range));
}

}  // namespace callfold
