// The viewer's side of an archive of 30,000 members: opening it (directory, settings,
// index, home page check) must stay far below a second, and serving a member must cost a
// hash lookup plus its own inflation, whatever the archive's size.
#include "archive/arcRecords.h"
#include "pipeline/UBuild.h"
#include "platform/UFileStream.h"
#include "platform/UFileSys.h"
#include "project/UProject.h"
#include "site/UArchiveSite.h"

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
        vlm::TBuilder().Build(project, host.Seam());
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
        const std::string path =
            Site().Folder + "site/" + PagePath(static_cast<int>(random() % 15000));
        benchmark::DoNotOptimize(opened.Find(path));
    }
}

void ServeMember(benchmark::State& state) {
    vlm::TArchiveSite opened(Site().Archive);
    std::mt19937 random(1);
    char buffer[65536];
    int64_t bytes = 0;
    for (auto _ : state) {
        const std::string path =
            Site().Folder + "site/" + PagePath(static_cast<int>(random() % 15000));
        const std::unique_ptr<vlm::TMemberReader> member = opened.Open(*opened.Find(path));
        while (size_t got = member->Read(buffer, sizeof buffer))
            bytes += static_cast<int64_t>(got);
    }
    state.SetBytesProcessed(bytes);
}

// An archive of a million members written record by record (a build of a million files
// would take minutes): stored one-byte pages under /site/, enciphered headers, Zip64 end
// records, and the settings member.
class TMillionArchive {
public:
    static constexpr int Members = 1000000;
    TMillionArchive() {
        Path = std::filesystem::temp_directory_path().string() + "/vlmbench-million" +
               std::to_string(std::random_device()()) + ".vlm";
        vlm::TFileStream out(Path, vlm::TFileMode::Create);
        std::string central;
        uint64_t offset = 0;
        const auto add = [&](const std::string& name, const std::string& data) {
            vlm::TLocalHeader local;
            local.Signature = vlm::EncipheredLocalHeaderSignature;
            local.Crc = vlm::Crc32Update(vlm::CrcInit, data.data(), data.size()) ^ vlm::CrcInit;
            local.CompressedSize = local.UncompressedSize = static_cast<uint32_t>(data.size());
            local.NameLength = static_cast<uint16_t>(name.size());
            vlm::TCentralHeader entry;
            entry.Signature = vlm::EncipheredCentralHeaderSignature;
            entry.Crc = local.Crc;
            entry.CompressedSize = entry.UncompressedSize = local.UncompressedSize;
            entry.NameLength = local.NameLength;
            entry.LocalHeaderOffset = static_cast<uint32_t>(offset);
            std::string localName = name, centralName = name;
            auto localBytes = local.Pack();
            auto centralBytes = entry.Pack();
            vlm::EncipherHeader(localBytes.data(), localBytes.size(),
                                reinterpret_cast<uint8_t*>(localName.data()), localName.size());
            vlm::EncipherHeader(centralBytes.data(), centralBytes.size(),
                                reinterpret_cast<uint8_t*>(centralName.data()), centralName.size());
            out.WriteBuffer(localBytes.data(), localBytes.size());
            out.WriteText(localName + data);
            central.append(reinterpret_cast<const char*>(centralBytes.data()), centralBytes.size());
            central += centralName;
            offset += localBytes.size() + name.size() + data.size();
        };
        add("/site/index.htm", "<html><title>Home</title></html>");
        for (int i = 1; i < Members - 1; ++i)
            add("/site/f" + std::to_string(i / 1000) + "/p" + std::to_string(i) + ".htm", "x");
        add("/tmp/VLM.settings", "HomePage=index.htm\r\nHomeRoot=/site/\r\n");
        out.WriteText(central);
        vlm::TZip64EndRecord end;
        end.EntriesOnDisk = end.TotalEntries = Members;
        end.DirectorySize = central.size();
        end.DirectoryOffset = offset;
        vlm::TZip64Locator locator;
        locator.EndRecordOffset = offset + central.size();
        vlm::TEndRecord record;
        record.EntriesOnDisk = record.TotalEntries = 0xFFFF;
        record.DirectorySize = record.DirectoryOffset = 0xFFFFFFFF;
        for (const auto& bytes :
             {std::string(reinterpret_cast<const char*>(end.Pack().data()), vlm::Zip64EndSize),
              std::string(reinterpret_cast<const char*>(locator.Pack().data()),
                          vlm::Zip64LocatorSize),
              std::string(reinterpret_cast<const char*>(record.Pack().data()), vlm::EndRecordSize)})
            out.WriteText(bytes);
    }
    ~TMillionArchive() { std::filesystem::remove(Path); }
    std::string Path;
};

// Opening an archive of a million members: the viewer's wait before its window appears.
void OpenMillionMembers(benchmark::State& state) {
    static const TMillionArchive archive;
    for (auto _ : state) {
        vlm::TArchiveSite opened(archive.Path);
        benchmark::DoNotOptimize(opened.Find("/site/f999/p999998.htm"));
    }
    state.counters["members"] = TMillionArchive::Members;
}

} // namespace

BENCHMARK(OpenMillionMembers)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(OpenArchive)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(FindMember)->Unit(benchmark::kNanosecond);
BENCHMARK(ServeMember)->Unit(benchmark::kMicrosecond);
