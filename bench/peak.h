#pragma once
// Peak resident memory of this process, in MB.
#include <cstdio>
#include <cstdlib>
#include <cstring>

inline double PeakResidentMB()
{
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f)
        return 0;
    char line[256];
    double kb = 0;
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, "VmHWM:", 6) == 0)
            kb = std::atof(line + 6);
    std::fclose(f);
    return kb / 1024.0;
}
