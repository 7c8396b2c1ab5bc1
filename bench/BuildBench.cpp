// Link discovery and whole builds on generated sites: discovery must grow linearly with
// the number of files (the complexity fit reports it), and a build of tens of thousands of
// files must not slow down more than its size.
#include "pipeline/UBuild.h"
#include "pipeline/ULinks.h"
#include "platform/UFileStream.h"
#include "platform/UFileSys.h"
#include "project/UProject.h"

#include "BenchSupport.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>

namespace {

using vlm::bench::TNullHost;
using vlm::bench::Write;

// Link discovery as a build runs it (every file included, *.tmp and *.bak excluded), with
// nobody watching.
struct TDiscovery {
    TNullHost Host;
    vlm::TProgress Progress{Host.Seam()};
    vlm::TRegExpr Include{"MaskInclude"}, Exclude{"MaskExclude"};
    TDiscovery() {
        vlm::SetMaskList(Include, vlm::ConvertMasks("*.*"));
        vlm::SetMaskList(Exclude, vlm::ConvertMasks("*.tmp,*.bak"));
    }
    void Run(const std::string& homePage, vlm::TFileList& list) {
        vlm::TLinkParser(Progress, Include, Exclude).DiscoverFiles(homePage, list);
    }
};

// A site of `pages` pages in folders of 100, each page with an image of its own and links
// to the next two pages and home: 2 * pages + 1 files, all reached from the home page.
class TSite {
public:
    explicit TSite(int pages) {
        // Not in the build's private temporary folder: mask mode walks that one as well.
        Folder = std::filesystem::temp_directory_path().string() + "/vlmbench-site" +
                 std::to_string(pages) + "-" + std::to_string(std::random_device()()) + "/";
        std::filesystem::create_directories(Folder);
        const auto page = [](int i) {
            return "f" + std::to_string(i / 100) + "/p" + std::to_string(i) + ".htm";
        };
        Write(Folder + "index.htm", "<html><a href=\"" + page(0) + "\">start</a></html>");
        std::string text(2000, 'x');
        for (int i = 0; i < pages; ++i) {
            const std::string sub = Folder + "f" + std::to_string(i / 100) + "/";
            if (i % 100 == 0)
                std::filesystem::create_directories(sub + "img");
            std::string html = "<html><body><img src=\"img/i" + std::to_string(i) + ".gif\">";
            for (const int next : {i + 1, i + 2})
                if (next < pages)
                    html += "<a href=\"../" + page(next) + "\">next</a>";
            html += "<p>" + text + "</p><a href=\"../index.htm\">home</a></body></html>\n";
            Write(Folder + page(i), html);
            Write(sub + "img/i" + std::to_string(i) + ".gif", "GIF89a" + std::to_string(i));
        }
        Files = 2 * pages + 1;
    }
    ~TSite() { std::filesystem::remove_all(Folder); }
    std::string Folder;
    int Files = 0;
};

const TSite& SiteOf(int pages) {
    static std::map<int, std::unique_ptr<TSite>> sites;
    auto& site = sites[pages];
    if (!site)
        site = std::make_unique<TSite>(pages);
    return *site;
}

void DiscoverFiles(benchmark::State& state) {
    const TSite& site = SiteOf(static_cast<int>(state.range(0)));
    TDiscovery discovery;
    for (auto _ : state) {
        vlm::TFileList list;
        discovery.Run(site.Folder + "index.htm", list);
        if (static_cast<int>(list.Count()) != site.Files)
            state.SkipWithError("not every file was found");
    }
    state.SetComplexityN(site.Files);
    state.counters["files"] = site.Files;
}

// A folder of `files` files beside a home page that names `named` files in it: missing
// ones ("gone-N.htm"), or ones that are there. Each distinct missing name is looked up in
// the folder's names; the folder is listed once, not once per name.
class TLargeFolder {
public:
    explicit TLargeFolder(int files) {
        Folder = std::filesystem::temp_directory_path().string() + "/vlmbench-large" +
                 std::to_string(files) + "-" + std::to_string(std::random_device()()) + "/";
        std::filesystem::create_directories(Folder + "big");
        for (int i = 0; i < files; ++i)
            Write(Folder + "big/f" + std::to_string(i) + ".dat", "");
    }
    ~TLargeFolder() { std::filesystem::remove_all(Folder); }
    std::string Folder;
};

void NamesInALargeFolder(benchmark::State& state) {
    static std::map<int, std::unique_ptr<TLargeFolder>> folders;
    const int files = static_cast<int>(state.range(0));
    const int named = static_cast<int>(state.range(1));
    const bool missing = state.range(2) != 0;
    auto& folder = folders[files];
    if (!folder)
        folder = std::make_unique<TLargeFolder>(files);
    std::string page = "<html>";
    for (int i = 0; i < named; ++i)
        page += "<a href=\"big/" +
                (missing ? "gone-" + std::to_string(i) + ".htm"
                         : "f" + std::to_string(i * (files / named)) + ".dat") +
                "\">";
    Write(folder->Folder + "index.htm", page);
    TDiscovery discovery;
    for (auto _ : state) {
        vlm::TFileList list;
        discovery.Run(folder->Folder + "index.htm", list);
        if (static_cast<int>(list.Count()) != 1 + (missing ? 0 : named))
            state.SkipWithError("a wrong number of files was found");
    }
    state.counters["files"] = files;
    state.counters["named"] = named;
}

void Build(benchmark::State& state, bool parsing, const char* output) {
    const TSite& site = SiteOf(static_cast<int>(state.range(0)));
    const std::string program = vlm::TempFolder() + "program/"; // a stand-in viewer program
    std::filesystem::create_directories(program);
    Write(program + "VLMView.exe", std::string(100000, 'V'));
    vlm::SetProgramFolder(program);
    vlm::TProject project;
    project.SetValue(vlm::entry::HomePage, site.Folder + "index.htm");
    project.SetValue(vlm::entry::ShowLanguageMenu, "0");
    project.SetFlag(vlm::entry::ParsingEnabled, parsing);
    const std::string out = vlm::TempFolder() + output;
    vlm::SetOutputFile(project, out);
    TNullHost host;
    vlm::TBuilder builder;
    for (auto _ : state) {
        vlm::DeleteFile(out);
        builder.Build(project, host.Seam());
    }
    vlm::DeleteFile(out);
    vlm::SetProgramFolder("");
    std::filesystem::remove_all(program);
    state.counters["files"] = site.Files;
}

} // namespace

BENCHMARK(DiscoverFiles)
    ->RangeMultiplier(2)
    ->Range(3125, 25000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// Hundreds and thousands of missing names, and hundreds of good ones, in a folder of
// 200,000 files.
BENCHMARK(NamesInALargeFolder)
    ->Args({200000, 200, 1})
    ->Args({200000, 2000, 1})
    ->Args({200000, 200, 0})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// A few hundred pages, and tens of thousands of files.
BENCHMARK_CAPTURE(Build, parsed_vlm, true, "site.vlm")
    ->Arg(300)
    ->Arg(25000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(Build, parsed_exe, true, "site.exe")
    ->Arg(300)
    ->Arg(25000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(Build, masks_vlm, false, "site.vlm")
    ->Arg(300)
    ->Arg(25000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
