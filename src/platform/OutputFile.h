// An output written under a temporary name beside its target and renamed into
// place only when complete, so no half-written file is ever left behind.
#pragma once

#include <string>

class OutputFile
{
  public:
    explicit OutputFile(std::string path);
    ~OutputFile(); // removes the temporary file unless committed

    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    const std::string& GetPath() const { return m_sPath; }
    const std::string& GetTemporaryPath() const { return m_sTemporary; }

    // Renames the temporary file onto the target; false with a reason on failure.
    bool Commit(std::string& error);
    void Abandon();

  private:
    std::string m_sPath;
    std::string m_sTemporary;
    bool m_bDone = false;
};
