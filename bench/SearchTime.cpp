// Times Advanced Find's search over an archive as the viewer runs it: the milliseconds to
// the first page found and to the last, and the pages found.
//   build-bench/bench/bench_search ARCHIVE WORDS...
#include "site/USiteSearch.h"

#include <chrono>
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_search ARCHIVE WORDS...\n");
        return 2;
    }
    std::string words = argv[2];
    for (int i = 3; i < argc; ++i)
        words += std::string(" ") + argv[i];
    try {
        const auto start = std::chrono::steady_clock::now();
        const auto since = [&] {
            return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() -
                                                             start)
                .count();
        };
        vlm::TArchiveSite site(argv[1]);
        const double opened = since();
        double first = -1;
        const size_t found = vlm::TSiteSearch(site, words).Run([&](vlm::TSearchHit&&) {
            if (first < 0)
                first = since();
        });
        std::printf("opened %.0f ms, first page found %.0f ms, all %zu pages %.0f ms\n", opened,
                    first, found, since());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_search: %s\n", e.what());
        return 1;
    }
    return 0;
}
