#pragma once

#include <string>

// The folder the save files live in, held for the whole game: a second game started on the same
// folder would write its own table over this one's, so only one game at a time may hold it.
// Whether the folder can be written is found out when it is claimed, so that a player learns it
// at the start and not after the game, when everything earned in it would already be lost.
class TSaveFolder {
  public:
    enum class TClaim {
        Held,       // ours, and writable
        Unwritable, // ours as far as anyone's, but nothing can be saved in it (Problem says why)
        InUse,      // another game holds it (Problem says so)
    };

    explicit TSaveFolder(std::string path) : m_path(std::move(path)) {}
    ~TSaveFolder();
    TSaveFolder(const TSaveFolder&) = delete;
    TSaveFolder& operator=(const TSaveFolder&) = delete;

    // Creates the folder when missing, takes the lock and tries a write.
    TClaim Claim();
    const std::string& Path() const { return m_path; }
    const std::string& Problem() const { return m_problem; }

    // The lock file's name inside the folder.
    static constexpr const char* kLockName = "lock";

  private:
    std::string m_path;
    std::string m_problem;
    int m_lockFd = -1;
};

// Moves a save file that is about to be replaced by defaults to a name beside it that says what it
// is ("hs" → "hs.rejected", then "hs.rejected-2", …), never over an earlier one. Returns the new
// name, or an empty string when nothing could be moved (the reason in error).
std::string PutAside(const std::string& fileName, std::string& error);
