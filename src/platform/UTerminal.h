// The terminal a command-line program runs in: whether its streams are terminals, the
// width of the screen, and questions asked on the controlling terminal.
#pragma once

#include <string>

namespace vlm {

bool StdErrIsTerminal();
bool StdInIsTerminal();
// Columns of the terminal standard error writes to; 80 when unknown.
int TerminalColumns();

// Writes prompt to the controlling terminal and reads one line of answer from it. False
// when there is no controlling terminal, or when interrupted() turns true while it waits
// (the caller's Ctrl+C flag).
bool AskTerminal(const std::string& prompt, std::string& answer, bool (*interrupted)());

} // namespace vlm
