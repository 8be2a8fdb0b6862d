#pragma once
// One running copy of the program changes a folder's files. The first copy
// takes an advisory lock on ".tarn.lock" in the folder and holds it while
// it runs; the system lets go of it when the process ends, however it
// ends. A copy that cannot take it runs without changing the folder.
#include <string>

namespace tarn {

class TFolderLock {
public:
    // Tries once and never waits; never throws.
    explicit TFolderLock(const std::string& folder);
    ~TFolderLock();
    TFolderLock(const TFolderLock&) = delete;
    TFolderLock& operator=(const TFolderLock&) = delete;

    bool Held() const { return Fd >= 0; }
    // Why it is not held, in Russian, naming the folder; empty when held.
    const std::string& Reason() const { return Why; }

    static constexpr const char* FileName = ".tarn.lock";

private:
    int Fd = -1;
    std::string Why;
};

} // namespace tarn
