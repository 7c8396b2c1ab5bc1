// A place to build in: a program folder with a fake viewer program and language files, a
// private temporary folder, a site and an output folder, all under one test folder; and a
// project that points at them.
#pragma once

#include "archive/arcReader.h"
#include "pipeline/UBuild.h"
#include "platform/UFileSys.h"
#include "platform/UTestHooks.h"
#include "project/UProject.h"

#include "RecordingHost.h"
#include "TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vlm::test {

class TBuildFixture : public ::testing::Test {
public:
    TTempDir Dir;
    std::string Program = Dir / "prog/";
    std::string Temp = Dir / "tmp/";
    std::string Site = Dir / "site/";
    std::string Out = Dir / "out/";
    std::string ViewerBytes = RandomBytes(3000, 11);
    std::unique_ptr<TProject> Project;
    std::optional<test_hooks::TFailWrites> FailWrites; // a full disk while it is set
    TBuilder Builder;
    TRecordingHost Host;

    void SetUp() override {
        WriteFile(Program + "VLMView.exe", ViewerBytes);
        WriteFile(Program + "Languages/German.lng", "[German]\r\n");
        WriteFile(Program + "Languages/French.lng", "[French]\r\n");
        std::filesystem::create_directories(Temp);
        std::filesystem::create_directories(Out);
        SetProgramFolder(Program);
        SetTempFolder(Temp);
        Project = std::make_unique<TProject>();
        Project->SetValue("HomePage", Site + "index.htm");
    }
    void TearDown() override {
        SetProgramFolder("");
        SetTempFolder("");
    }

    // The bundled example site, copied so that member names hold this test's folder.
    void CopyExampleSite() {
        std::filesystem::copy(std::string(VLM_SOURCE_DIR) + "/examples/site", Site,
                              std::filesystem::copy_options::recursive);
    }
    void Output(const std::string& name) {
        Project->SetValue("OutputFile", Out + name);
        Project->SetValue("OutputType", name.size() > 4 && name.substr(name.size() - 4) == ".exe"
                                            ? "EXE"
                                            : "VLM");
    }
    void Build(bool runInProgress = false) { Builder.Build(*Project, Host.Seam(), runInProgress); }

    // Member names with the site's folder (and the others) shortened to a mark.
    std::vector<std::string> MemberNames(const std::string& file) {
        TArchiveReader reader(file);
        std::vector<std::string> names;
        for (const TArchiveMember& member : reader.Members())
            names.push_back(Shorten(member.Name));
        return names;
    }
    std::string Shorten(const std::string& path) const {
        for (const auto& [folder, mark] :
             {std::pair{Site, "site/"}, std::pair{Temp, "tmp/"}, std::pair{Program, "prog/"}})
            if (path.compare(0, folder.size(), folder) == 0)
                return mark + path.substr(folder.size());
        return path;
    }
};

} // namespace vlm::test
