// The command-line renderer run as a shell runs it (KESTRINE_RENDER_COMMAND: under the emulator when
// the tests are cross-compiled), for the tests of its float and deep engines.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

// Its exit status, and what it printed on both channels.
inline int Run_Renderer(const std::string& Arguments, std::string& Printed)
{
    FILE* Pipe = popen((KESTRINE_RENDER_COMMAND " " + Arguments + " 2>&1").c_str(), "r");
    Printed.clear();
    for (char Buffer[512]; Pipe && std::fgets(Buffer, sizeof(Buffer), Pipe);)
        Printed += Buffer;
    const int Status = Pipe ? pclose(Pipe) : -1;
    return WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
}
