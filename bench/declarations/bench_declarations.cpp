// Times missing_declarations on one VCF read once, each way of scanning in turn
// (round robin, so that a busy moment of a shared machine falls on all of them),
// and checks that every way declares the same lines.
//   bench_declarations PATH [ROUNDS]
// The thread count is set as every caller sets it (a ThreadCap); the recent-ID
// list through the switch the scan keeps for this driver alone.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "common/parallel_ranges.hpp"
#include "compression/declarations.hpp"
#include "compression/vcf_records.hpp"

namespace c = callfold::compression;

// Defined beside the scan; the product leaves it true.
namespace callfold::compression {
extern bool declaration_scan_remembers_recent_ids;
}

namespace {

// How the records are scanned; the result is the same either way.
struct DeclarationScan {
    bool remember_recent;  // a short list of the latest IDs looked up
    unsigned threads;      // at most; one below 200,000 records
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PATH [ROUNDS]\n", argv[0]);
        return 2;
    }
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    const auto read_start = std::chrono::steady_clock::now();
    const c::VcfRecords records = c::read_vcf_records(argv[1]);
    std::printf("read %zu records in %.2f s\n", records.size(),
                std::chrono::duration<double>(std::chrono::steady_clock::now() - read_start).count());

    struct Way {
        const char* name;
        DeclarationScan how;
        std::vector<double> seconds;
        std::vector<double> cpu_seconds;  // of every thread
        std::vector<std::string> lines;
    };
    std::vector<Way> ways = {
        {"recent-ID list, 2 threads", {true, 2}, {}, {}},
        {"recent-ID list, 1 thread", {true, 1}, {}, {}},
        {"no recent-ID list, 2 threads", {false, 2}, {}, {}},
        {"no recent-ID list, 1 thread", {false, 1}, {}, {}},
    };
    for (int round = 0; round < rounds; ++round) {
        for (Way& way : ways) {
            const auto start = std::chrono::steady_clock::now();
            const std::clock_t cpu_start = std::clock();
            c::declaration_scan_remembers_recent_ids = way.how.remember_recent;
            const callfold::ThreadCap cap(way.how.threads);
            way.lines = c::missing_declarations(records.meta, records);
            way.cpu_seconds.push_back(static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC);
            way.seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        }
    }
    for (const Way& way : ways) {
        if (way.lines != ways.front().lines) {
            std::fprintf(stderr, "%s declares other lines\n", way.name);
            return 1;
        }
    }
    std::printf("%zu declaration lines, the same each way; %d rounds\n", ways.front().lines.size(), rounds);
    std::printf("%-30s %8s %8s %12s\n", "way", "best s", "median s", "median CPU s");
    for (Way& way : ways) {
        std::sort(way.seconds.begin(), way.seconds.end());
        std::sort(way.cpu_seconds.begin(), way.cpu_seconds.end());
        std::printf("%-30s %8.3f %8.3f %12.3f\n", way.name, way.seconds.front(), way.seconds[way.seconds.size() / 2],
                    way.cpu_seconds[way.cpu_seconds.size() / 2]);
    }
    return 0;
}
