#include "Errors.h"

#include <cstdio>

namespace tarn {

std::string FormatLocation(const std::string& source, int64_t offset, const char* field)
{
    std::string s = source;
    if (offset >= 0) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "offset 0x%llX", static_cast<unsigned long long>(offset));
        if (!s.empty()) s += ", ";
        s += buf;
    }
    if (field && *field) {
        if (!s.empty()) s += ", ";
        s += field;
    }
    return s;
}

void ThrowFormat(const std::string& source, int64_t offset, const char* field, const std::string& message)
{
    std::string where = FormatLocation(source, offset, field);
    throw EFormatError(where.empty() ? message : where + ": " + message);
}

} // namespace tarn
