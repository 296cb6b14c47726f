#pragma once
// What a benchmark reads of its own process's memory (Linux /proc).

#include <malloc.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace quenor::bench {

// A value of /proc/self/status in kB ("VmRSS", "VmHWM"); -1 when absent.
inline long StatusKb(const char* key)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(in, line))
        if (line.rfind(prefix, 0) == 0)
            return std::atol(line.c_str() + prefix.size());
    return -1;
}

// Gives freed memory back and resets the high-water mark (VmHWM) to what is held now.
inline void ResetPeak()
{
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
}

}  // namespace quenor::bench
