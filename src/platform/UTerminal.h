// The terminal a command-line program runs in: whether its streams are terminals, the
// width of the screen, and waiting for an answer typed there.
#pragma once

namespace vlm {

bool StdErrIsTerminal();
bool StdInIsTerminal();
// Columns of the terminal standard error writes to; 80 when unknown.
int TerminalColumns();

// Waits until standard input has something to read, or has ended (true), or until
// interrupted() turns true (false; the caller's Ctrl+C flag).
bool WaitForStdIn(bool (*interrupted)());

} // namespace vlm
