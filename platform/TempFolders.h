#pragma once
// Private folders in the user's temporary folder ("tarn-card-XXXXXX",
// "tarn-sound-XXXXXX"). Each holds the marker ".tarn-owner" and is locked
// (an advisory lock on the folder itself) by its owner for as long as the
// owner runs; the system lets go of the lock however the owner ends. A
// marked folder whose lock can be taken was left by a program that ended.
#include <string>
#include <vector>

namespace tarn {

class TOwnedTempFolder {
public:
    // Creates "<tempDir>/<prefix>XXXXXX" (mode 0700), locked and marked;
    // never throws: Path() is empty and Error() says why when it fails.
    TOwnedTempFolder(const std::string& tempDir, const std::string& prefix);
    // Removes the folder with everything in it.
    ~TOwnedTempFolder();
    TOwnedTempFolder(const TOwnedTempFolder&) = delete;
    TOwnedTempFolder& operator=(const TOwnedTempFolder&) = delete;

    const std::string& Path() const { return Dir; }
    const std::string& Error() const { return Why; }

    static constexpr const char* Marker = ".tarn-owner";
    // The prefixes of the program's folders.
    static const std::vector<std::string>& Prefixes();

private:
    std::string Dir;
    std::string Why;
    int Fd = -1;
};

// Removes the program's folders in `tempDir` (a prefix of Prefixes(), this
// user's, a folder and not a link, marked) whose owner has ended; anything
// else is left. Answers how many went.
int RemoveStaleTempFolders(const std::string& tempDir);

} // namespace tarn
