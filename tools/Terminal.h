// SPDX-License-Identifier: Apache-2.0
// The few facts about the terminal the tool adapts to: whether a standard stream is one,
// and how wide it is.
#ifndef EUROCALL_TOOLS_TERMINAL_H
#define EUROCALL_TOOLS_TERMINAL_H

namespace eurocall::tool {

bool StdinIsTerminal();
bool StderrIsTerminal();

// Columns of the terminal on standard error; else $COLUMNS; else 80.
int TerminalColumns();

}  // namespace eurocall::tool

#endif
