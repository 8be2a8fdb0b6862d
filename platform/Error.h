#pragma once
// Root of the system's exceptions: a message that callers can extend with
// context (file, record, operation) as the exception travels up.
#include <exception>
#include <string>

namespace tarn {

class ETarnError : public std::exception {
public:
    explicit ETarnError(std::string message) : Message(std::move(message)) {}
    const char* what() const noexcept override { return Message.c_str(); }

    // Prefixes "context: " to the message; used by callers that rethrow.
    void AddContext(const std::string& context)
    {
        if (!context.empty()) Message = context + ": " + Message;
    }

private:
    std::string Message;
};

// An operating-system file operation failed (open, read, write, rename).
class EFileError : public ETarnError {
public:
    using ETarnError::ETarnError;
};

// A file changed on disk since the program read it: a save refuses to
// replace it, and what the user changed stays in memory.
class EFileChanged : public EFileError {
public:
    using EFileError::EFileError;
};

// Describes errno as "path: what: strerror".
[[noreturn]] void ThrowFileError(const std::string& path, const std::string& what, int err);

} // namespace tarn
