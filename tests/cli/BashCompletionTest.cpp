// The bash completion installed for vlm offers what `vlm --help` lists: every command, and
// for each command every option of its synopsis.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

using vlm::test::HaveProgram;
using vlm::test::RunProcess;
using vlm::test::TProcessResult;

namespace {

using TWords = std::set<std::string>;

// The commands of `vlm --help` ("  vlm NAME SYNOPSIS") with the options their synopses name.
std::map<std::string, TWords> HelpCommands() {
    const TProcessResult help = RunProcess(VLM_BINARY, {"--help"});
    EXPECT_EQ(help.ExitCode, 0) << help.Err;
    std::map<std::string, TWords> commands;
    const std::regex line(R"(^  vlm ([a-z]+)(.*)$)");
    const std::regex option(R"((^|[\s\[|])(-o|-@|--[a-z][a-z-]*))");
    std::istringstream lines(help.Out);
    for (std::string text; std::getline(lines, text);) {
        std::smatch m;
        if (!std::regex_match(text, m, line))
            continue;
        TWords& options = commands[m[1]];
        const std::string synopsis = m[2];
        for (auto it = std::sregex_iterator(synopsis.begin(), synopsis.end(), option);
             it != std::sregex_iterator(); ++it)
            options.insert((*it)[2]);
    }
    return commands;
}

// What the completion function offers for the words typed so far (the last one is the word
// being completed). bash-completion's helpers are stood in for by the minimum they do here,
// so the test needs only bash.
TWords Complete(const std::vector<std::string>& words) {
    std::string script = R"(
_init_completion() {
    words=("${COMP_WORDS[@]}"); cword=$COMP_CWORD
    cur=${COMP_WORDS[COMP_CWORD]}; prev=${COMP_WORDS[COMP_CWORD-1]}
}
_filedir() { :; }
compopt() { :; }
source ")" + std::string(VLM_SOURCE_DIR) +
                         R"(/packaging/vlm.bash-completion" || exit 9
COMP_WORDS=()";
    for (const std::string& word : words)
        script += " '" + word + "'";
    script += ")\nCOMP_CWORD=" + std::to_string(words.size() - 1) +
              "\n_vlm\nprintf '%s\\n' \"${COMPREPLY[@]}\"\n";
    const TProcessResult r = RunProcess("bash", {"-c", script});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Err, "");
    TWords offered;
    std::istringstream lines(r.Out);
    for (std::string word; std::getline(lines, word);) {
        if (!word.empty())
            offered.insert(word);
    }
    return offered;
}

TEST(BashCompletion, OffersEveryCommandAndEveryOptionOfTheHelp) {
    if (!HaveProgram("bash"))
        GTEST_SKIP() << "bash is not installed";
    const std::map<std::string, TWords> commands = HelpCommands();
    ASSERT_GE(commands.size(), 9u) << "the help lists the commands";
    TWords names = {"--help", "--version"};
    for (const auto& [name, options] : commands)
        names.insert(name);
    EXPECT_EQ(Complete({"vlm", ""}), names);
    for (const auto& [name, options] : commands) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Complete({"vlm", name, "file", "-"}), options);
    }
}

} // namespace
