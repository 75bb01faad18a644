// Ending a run on a signal without losing anything. SIGINT, SIGTERM, SIGHUP
// and SIGQUIT only raise a flag that the frame loops read at every frame, so
// the outputs are finished as at a normal end; a second signal, or an exit()
// from deep inside a library (a lost X display), removes every temporary
// output file still registered instead. SIGPIPE is ignored: a write to a
// closed pipe fails with a reason.
#pragma once

#include <atomic>
#include <string>

class Signals
{
  public:
    static constexpr int c_iMaxTemporaries = 16; // outputs open at once: WAV, MIDI, a screenshot
    static constexpr int c_iMaxPathBytes = 4096; // PATH_MAX on Linux, terminator included

    // Installs the handlers (and tells SDL to leave SIGINT and SIGTERM alone);
    // call before SDL starts. Safe to call more than once.
    static void Install();

    // The first signal caught since Install, or 0.
    static int Caught() { return s_iCaught.load(std::memory_order_relaxed); }
    // What a shell expects after that signal: 128 + its number.
    static int ExitStatus() { return 128 + Caught(); }

    // Main thread: a temporary file to remove if the process dies before it
    // is renamed or removed; returns a slot for ForgetTemporary, or -1 when the
    // registry is full or the path too long (then only the normal clean-up
    // removes it).
    static int RegisterTemporary(const std::string& path);
    static void ForgetTemporary(int slot);
    // Removes every registered temporary file; async-signal-safe.
    static void RemoveTemporaries();

  private:
    static void Handle_Static(int signal);

    struct Temporary
    {
        std::atomic<bool> bUsed{false};
        char sPath[c_iMaxPathBytes] = {};
    };

    static std::atomic<int> s_iCaught;
    static Temporary s_temporaries[c_iMaxTemporaries];
};
