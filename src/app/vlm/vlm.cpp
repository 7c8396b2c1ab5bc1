// vlm, the command-line twin of the desktop program.
#include "platform/UProcessInfo.h"
#include "vlm/vlmMain.h"

#include <iostream>

int main(int argc, char** argv) {
    vlm::ReturnLargeBuffersToTheSystem();
    std::vector<std::string> args(argv + 1, argv + argc);
    const int code = vlm::cli::VlmMain(args, std::cin, std::cout, std::cerr);
    std::cout.flush();
    return code;
}
