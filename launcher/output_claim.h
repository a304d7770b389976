// The name of a run's output file in its folder, claimed for the run: what
// was there is set aside under a hidden name until the run ends, and the
// name is taken at once by a new empty file that the run then writes (in
// place, or by renaming its own file over it). The claim holds an advisory
// lock on that file while the run writes it, so that another conversion,
// in this process or another, neither replaces nor sets it aside
// meanwhile. Needs no window system.
#pragma once

#include <string>

class OutputClaim {
public:
    OutputClaim() = default;
    OutputClaim(const OutputClaim&) = delete;
    OutputClaim& operator=(const OutputClaim&) = delete;
    // A claim still held when it goes is undone.
    ~OutputClaim() { Undo(); }

    // What is at path before a run: nothing; the input file itself; a file
    // that another conversion's claim holds; a folder; something else (a
    // file, a link, ...).
    enum class Found { kNothing, kInput, kBeingWritten, kFolder, kSomething };
    static Found Look(const std::string& path, const std::string& input);

    // Claims path: sets aside what is there first when setAside is true,
    // then creates the empty file and locks it. False, with errno set, when
    // either fails (EEXIST: something is at path and was not set aside);
    // nothing is changed then.
    bool Claim(const std::string& path, bool setAside);
    // The run succeeded: the file set aside is removed, the lock released.
    void Commit();
    // The run failed or was stopped: whatever is at path now is removed, and
    // the file set aside is put back. Returns whether something was
    // removed (false when the run left nothing there).
    bool Undo();

    bool Held() const { return fLock >= 0; }
    // The file set aside, or "" when none was.
    const std::string& Aside() const { return fAside; }

private:
    void _Release();

    std::string fPath, fAside;
    int fLock = -1;
};
