#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// The save files are short text files of single-byte lines ended by CR LF. Files from elsewhere
// may end their lines with LF or CR alone; all three read the same.

// True when something stands under the name, readable or not: only a name under which there is
// certainly nothing counts as missing. An empty name is missing.
bool SaveFileExists(const std::string& fileName);

// Reads a save file line by line through a buffer of fixed size and keeps only the first bytes
// of each line that the caller asks for, so a damaged file with a line of any length (or any
// number of lines) costs no more memory than a sound one.
class TSaveFileReader {
  public:
    static constexpr size_t kBufferSize = 16384;

    // Opens the file; a file that cannot be opened leaves Missing or Failed set.
    explicit TSaveFileReader(const std::string& fileName, size_t bufferSize = kBufferSize);
    ~TSaveFileReader();
    TSaveFileReader(const TSaveFileReader&) = delete;
    TSaveFileReader& operator=(const TSaveFileReader&) = delete;

    // Nothing stands under the name.
    bool Missing() const { return m_missing; }
    // Something stands there but could not be opened or read to its end; Error names the
    // file and the reason.
    bool Failed() const { return !m_error.empty(); }
    const std::string& Error() const { return m_error; }

    // The next line without its line end, cut to its first `keep` bytes (the rest of the line
    // is skipped unread into memory). False at the end of the file or on a read error.
    bool ReadLine(std::string& line, size_t keep);

  private:
    bool Fill();
    void Fail(int error);

    std::string m_fileName;
    int m_fd = -1;
    std::vector<char> m_buffer;
    size_t m_pos = 0;
    size_t m_end = 0;
    bool m_afterCr = false; // the last line ended in CR: an LF right after it belongs to it
    bool m_missing = false;
    std::string m_error;
};

// What loading a save file found out about it.
struct TSaveFileLoad {
    // Something stands under the name but could not be read: it is to be left as it is.
    bool Unreadable = false;
    std::string Error; // the file and the reason, when Unreadable
    // It was read, and found to be something the game did not write: defaults took its place.
    bool Damaged = false;
};

// Writes the lines, each ended by CR LF, to a temporary file beside the target, flushes it
// to the disk, renames it over the target and syncs the folder, so neither a failed write nor
// a power cut right after it loses the previous file. The folder is created when missing.
// Throws with the file name and the reason on failure.
void WriteSaveLines(const std::string& fileName, const std::vector<std::string>& lines);

// A temporary file that a run killed while saving left beside the target is removed.
void RemoveStaleTemporary(const std::string& fileName);

// A decimal integer after optional blanks, the rest of the line ignored; nullopt when the
// line holds no number.
std::optional<long long> ParseSaveNumber(const std::string& line);

// How many bytes of a number line are kept: far more than any number the files hold.
constexpr size_t kNumberLineMax = 64;

// How many bytes of a text line (a name, the options' free text, the check string) are kept.
// Far beyond anything a person types or edits in, so files written by hand keep their lines
// whole; only a damaged file's endless line is cut, so that it costs no more than this.
constexpr size_t kTextLineMax = 4096;
