#pragma once
// Items read from a file nest through their lists (a collection of records
// that hold collections, a layer group of groups). Every item read goes
// through a TNestingGuard, so a crafted file cannot exhaust the stack.
#include "Streams.h"

#include <string>

namespace tarn {

constexpr int MaxNestingDepth = 256;

class TNestingGuard {
public:
    TNestingGuard(const TStream& stream, const char* field)
    {
        if (Depth() >= MaxNestingDepth)
            stream.Fail(field, "items nested more than " + std::to_string(MaxNestingDepth) + " deep");
        ++Depth();
    }
    ~TNestingGuard() { --Depth(); }
    TNestingGuard(const TNestingGuard&) = delete;
    TNestingGuard& operator=(const TNestingGuard&) = delete;

private:
    static int& Depth()
    {
        static thread_local int depth = 0;
        return depth;
    }
};

} // namespace tarn
