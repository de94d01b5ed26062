// The file of the synchronisation history, shared by every copy of the program. A rewrite
// holds a lock the copies take in turn, writes the new text to a file beside the old one and
// then replaces the old one in one step, so a failure at any point leaves the old file whole.
#pragma once

#include <functional>
#include <string>

class HistoryFile {
  public:
    virtual ~HistoryFile() = default;

    // Under the lock, change gets the file's text (empty when there is none) and what it
    // returns replaces the file. False when the file could not be locked, read or replaced.
    virtual bool Rewrite(const std::function<std::string(const std::string&)>& change) = 0;
    // The file's text; empty when there is none or it cannot be read.
    virtual std::string Read() = 0;
};

// A file in a folder, which a rewrite creates when it is missing.
class FolderHistoryFile : public HistoryFile {
  public:
    FolderHistoryFile(std::string folder, std::string name);

    bool Rewrite(const std::function<std::string(const std::string&)>& change) override;
    std::string Read() override;
    const std::string& folder() const { return folder_; }

  private:
    std::string Path(const std::string& name) const;

    std::string folder_;
    std::string name_;
};

// The platform's part: body runs while this process holds the lock file exclusively; false
// when the lock could not be taken. The replacement of target by source in one step. One
// folder made. And
// the file's UTF-8 from the program's own text and back (on Windows the program's text is
// in the ANSI code page; elsewhere both are UTF-8).
bool WithFileLock(const std::string& lockPath, const std::function<bool()>& body);
bool ReplaceFileAtomically(const std::string& source, const std::string& target);
// True when the folder exists afterwards; its parent must exist.
bool MakeFolder(const std::string& folder);
std::string Utf8FromProgramText(const std::string& text);
std::string ProgramTextFromUtf8(const std::string& text);
