// An output written complete or not at all. A regular file, or a link to one,
// is written under a temporary name in the target's own folder and renamed onto
// it when complete (a link stays a link). A special file is never replaced: a
// seekable one (/dev/null) is written directly; a pipe or a terminal receives
// the finished file at the end from an unnamed temporary copy, since the WAV
// and MIDI formats put their lengths in the header.
#pragma once

#include <cstdio>
#include <string>

class OutputFile
{
  public:
    explicit OutputFile(std::string path);
    ~OutputFile(); // abandons an output that was not committed

    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Opens the output for writing; false with "cannot write PATH: reason".
    bool Open(std::string& error);
    // Where the writer writes: a seekable stream, owned by this object.
    std::FILE* GetStream() const { return m_pStream; }
    const std::string& GetPath() const { return m_sPath; }
    // The temporary file being written, empty when there is none.
    const std::string& GetTemporaryPath() const { return m_sTemporary; }

    // Records a failed write (an errno value); the first one is the reason
    // Commit reports.
    void Fail(int error);
    // Flushes and puts the output in place; false with "cannot write PATH:
    // reason", leaving nothing behind.
    bool Commit(std::string& error);
    void Abandon();

    // The file a path names once links, "." and ".." are resolved (the path
    // itself made absolute when it does not exist yet).
    static std::string Resolve(const std::string& path);
    // Whether two paths name the same file: the same device and inode, or the
    // same resolved path.
    static bool SameFile(const std::string& a, const std::string& b);

  private:
    bool OpenSpecial(std::string& error);
    bool OpenTemporary(std::string& error);
    bool CopyToTarget();
    void CloseAll();
    std::string Failure(int error) const;

    std::string m_sPath;
    std::string m_sTarget;    // the regular file the temporary one replaces
    std::string m_sTemporary; // written, then renamed onto m_sTarget
    int m_iSlot = -1;         // the temporary file's place in the signal-safe registry
    int m_iCopyTarget = -1;   // a pipe or terminal that gets the finished file
    std::FILE* m_pStream = nullptr;
    int m_iError = 0;
};
