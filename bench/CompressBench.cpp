// Throughput of TZip::Compress on a generated site of about 9 MB: pages of text, binary
// files that do not compress, and many files under the 257-byte small-file limit.
#include "archive/arcZip.h"
#include "platform/UFileSys.h"
#include "platform/UPaths.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <stdexcept>
#include <string>

namespace {

void Write(const std::string& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size())
        throw std::runtime_error("cannot write " + path);
    std::fclose(f);
}

// The site, made once per process under $TMPDIR (or /tmp) and removed at exit.
class TSite {
public:
    TSite() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/vlmbench-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        Folder = pattern + "/";
        vlm::CreateDir(Folder + "site");
        vlm::CreateDir(Folder + "site/img");
        std::mt19937 random(42);
        for (int i = 0; i < 100; ++i) {
            std::string page;
            while (page.size() < 50000)
                page += "<p>Paragraph " + std::to_string(random() % 1000) +
                        " of a page with ordinary, repetitive markup.</p>\n";
            Write(Folder + "site/page" + std::to_string(i) + ".htm", page);
            Bytes += page.size();
        }
        for (int i = 0; i < 20; ++i) {
            std::string image(200000, '\0');
            for (char& c : image)
                c = static_cast<char>(random());
            Write(Folder + "site/img/pic" + std::to_string(i) + ".jpg", image);
            Bytes += image.size();
        }
        for (int i = 0; i < 300; ++i) {
            const std::string small(50 + i % 200, static_cast<char>('a' + i % 26));
            Write(Folder + "site/small" + std::to_string(i) + ".css", small);
            Bytes += small.size();
        }
    }
    ~TSite() { std::system(("rm -rf '" + Folder + "'").c_str()); }
    std::string Folder;
    int64_t Bytes = 0;
};

const TSite& Site() {
    static const TSite site;
    return site;
}

void Compress(benchmark::State& state, vlm::TDeflateType type, const char* password,
              bool encryptHeaders) {
    const TSite& site = Site();
    vlm::TZip zip;
    vlm::TCompOptions options;
    options.ArchiveFile = site.Folder + "out.zip";
    options.FileSpec = {site.Folder + "site/*"};
    options.DeflateType = type;
    options.Password = password;
    options.EncryptHeaders = encryptHeaders;
    const vlm::TCompEvents events;
    for (auto _ : state) {
        if (zip.Compress(options, events) != 420)
            state.SkipWithError("Compress failed");
    }
    state.SetBytesProcessed(state.iterations() * site.Bytes);
    state.counters["archive_bytes"] = static_cast<double>(vlm::FileSizeOf(site.Folder + "out.zip"));
}

} // namespace

BENCHMARK_CAPTURE(Compress, store_plain, vlm::dtDeflateS, "", false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Compress, level1_plain, vlm::dtDeflateF, "", false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Compress, level6_plain, vlm::dtDeflateN, "", false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Compress, level9_plain, vlm::dtDeflateX, "", false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Compress, store_encrypted, vlm::dtDeflateS, "Qm42Tx7150", true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Compress, level6_encrypted_build, vlm::dtDeflateN, "Qm42Tx7150", true)
    ->Unit(benchmark::kMillisecond);
