// The viewer's side of an archive of 30,000 members: opening it (directory, settings,
// index, home page check) must stay far below a second, and serving a member must cost a
// hash lookup plus its own inflation, whatever the archive's size.
#include "pipeline/UArchiveSite.h"
#include "pipeline/UBuild.h"
#include "platform/UFileStream.h"
#include "platform/UFileSys.h"
#include "project/UProject.h"

#include "BenchSupport.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

namespace {

using vlm::bench::TNullHost;
using vlm::bench::Write;

std::string PagePath(int i) {
    return "f" + std::to_string(i / 100) + "/p" + std::to_string(i) + ".htm";
}

// A built archive of a site of `pages` pages of about 4 KB and as many images, in folders
// of 100 (2 * pages + 2 members with the home page and the settings).
class TBuiltSite {
public:
    explicit TBuiltSite(int pages) : Pages(pages) {
        Folder = std::filesystem::temp_directory_path().string() + "/vlmbench-view" +
                 std::to_string(std::random_device()()) + "/";
        std::filesystem::create_directories(Folder + "site");
        Write(Folder + "site/index.htm",
              "<html><title>Home</title><a href=\"" + PagePath(0) + "\">start</a></html>");
        const std::string text(4000, 'x');
        for (int i = 0; i < pages; ++i) {
            const std::string sub = Folder + "site/f" + std::to_string(i / 100) + "/";
            if (i % 100 == 0)
                std::filesystem::create_directories(sub);
            Write(Folder + "site/" + PagePath(i), "<html><p>" + text + std::to_string(i) + "</p>");
            Write(sub + "i" + std::to_string(i) + ".gif", "GIF89a" + std::to_string(i));
        }
        std::filesystem::create_directories(Folder + "program");
        Write(Folder + "program/VLMView.exe", "viewer");
        vlm::SetProgramFolder(Folder + "program/");
        vlm::TProject project;
        project.SetValue(vlm::entry::HomePage, Folder + "site/index.htm");
        project.SetValue(vlm::entry::ShowLanguageMenu, "0");
        project.SetFlag(vlm::entry::ParsingEnabled, false);
        Archive = Folder + "site.vlm";
        vlm::SetOutputFile(project, Archive);
        TNullHost host;
        vlm::TBuilder().Build(project, host);
        vlm::SetProgramFolder("");
    }
    ~TBuiltSite() { std::filesystem::remove_all(Folder); }
    int Pages;
    std::string Folder;
    std::string Archive;
};

const TBuiltSite& Site() {
    static const TBuiltSite site(15000);
    return site;
}

void OpenArchive(benchmark::State& state) {
    const TBuiltSite& site = Site();
    size_t members = 0;
    for (auto _ : state) {
        vlm::TArchiveSite opened(site.Archive);
        members = opened.Reader().Members().size();
        benchmark::DoNotOptimize(opened.Find(opened.HomePage()));
    }
    state.counters["members"] = static_cast<double>(members);
}

void FindMember(benchmark::State& state) {
    vlm::TArchiveSite opened(Site().Archive);
    std::mt19937 random(1);
    for (auto _ : state) {
        const std::string path = PagePath(static_cast<int>(random() % 15000));
        benchmark::DoNotOptimize(opened.Find(path));
    }
}

void ServeMember(benchmark::State& state) {
    vlm::TArchiveSite opened(Site().Archive);
    std::mt19937 random(1);
    char buffer[65536];
    int64_t bytes = 0;
    for (auto _ : state) {
        const std::string path = PagePath(static_cast<int>(random() % 15000));
        const std::unique_ptr<vlm::TMemberReader> member = opened.Open(*opened.Find(path));
        while (size_t got = member->Read(buffer, sizeof buffer))
            bytes += static_cast<int64_t>(got);
    }
    state.SetBytesProcessed(bytes);
}

} // namespace

BENCHMARK(OpenArchive)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(FindMember)->Unit(benchmark::kNanosecond);
BENCHMARK(ServeMember)->Unit(benchmark::kMicrosecond);
