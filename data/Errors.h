#pragma once
// Exceptions of the map data layer.
#include "platform/Error.h"

#include <cstdint>
#include <string>

namespace tarn {

// A file or stream holds something that cannot be what it claims: a short
// read, an absurd count, length or offset, an unknown code or magic.
class EFormatError : public ETarnError {
public:
    using ETarnError::ETarnError;
};

// A value does not fit the stored form (a string of more than 65535 bytes,
// a 16-bit count overflow); raised before anything is written.
class EWriteError : public ETarnError {
public:
    using ETarnError::ETarnError;
};

// Index errors of item lists.
class EObjList : public ETarnError {
public:
    using ETarnError::ETarnError;
};

// Misuse of the stream class registry (double registration, unknown class).
class EItemClass : public ETarnError {
public:
    using ETarnError::ETarnError;
};

// A computed value (a pixel width, a scaled style size) does not fit its
// 32-bit field.
class ERangeError : public ETarnError {
public:
    using ETarnError::ETarnError;
};

// "<source>, offset 0x1A, <field>: <message>", leaving out the parts not known.
std::string FormatLocation(const std::string& source, int64_t offset, const char* field);

[[noreturn]] void ThrowFormat(const std::string& source, int64_t offset, const char* field,
                              const std::string& message);

} // namespace tarn
