#pragma once

#include <cstdio>

// The few things that differ between operating systems, kept in one place.
namespace Platform {

// From now on Ctrl-C (or a termination request) only sets a flag that the
// run looks at once per line, so the pages written so far stay whole.
void InstallInterruptHandler();
bool InterruptRequested();

bool IsTerminal(std::FILE* stream);

} // namespace Platform
