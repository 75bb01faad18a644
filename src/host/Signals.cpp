#include "host/Signals.h"

#include <SDL.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <signal.h> // sigaction
#include <unistd.h>

static_assert(std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);

std::atomic<int> Signals::s_iCaught{0};
Signals::Temporary Signals::s_temporaries[Signals::c_iMaxTemporaries];

namespace
{
constexpr int c_iHandled[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void RemoveTemporariesAtExit()
{
    Signals::RemoveTemporaries();
}
} // namespace

void Signals::Install()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;

    // SDL would turn SIGINT and SIGTERM into a quit event that only the live
    // window reads; the flag serves both loops.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");

    struct sigaction action = {};
    action.sa_handler = &Signals::Handle_Static;
    sigemptyset(&action.sa_mask);
    for (int signal : c_iHandled)
        sigaddset(&action.sa_mask, signal);
    // Interrupted reads and writes restart: the loops look at the flag at the
    // next frame, and no output fails with EINTR on the way.
    action.sa_flags = SA_RESTART;
    for (int signal : c_iHandled)
        sigaction(signal, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    // Past a file-size limit (ulimit -f) a write fails with "File too large",
    // which the output reports and cleans up after, instead of killing the run.
    std::signal(SIGXFSZ, SIG_IGN);

    std::atexit(&RemoveTemporariesAtExit);
    std::at_quick_exit(&RemoveTemporariesAtExit);
}

void Signals::Handle_Static(int signal)
{
    int expected = 0;
    if (s_iCaught.compare_exchange_strong(expected, signal, std::memory_order_relaxed))
        return; // the first one: the frame loop ends the run cleanly
    // A second signal: the user insists. Leave nothing behind and die of it.
    RemoveTemporaries();
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    raise(signal);
}

int Signals::RegisterTemporary(const std::string& path)
{
    if (path.empty() || path.size() >= static_cast<size_t>(c_iMaxPathBytes))
        return -1;
    for (int slot = 0; slot < c_iMaxTemporaries; ++slot)
    {
        Temporary& temporary = s_temporaries[slot];
        if (temporary.bUsed.load(std::memory_order_acquire))
            continue;
        std::memcpy(temporary.sPath, path.c_str(), path.size() + 1);
        // Published after the path is complete: a handler never reads half of it.
        temporary.bUsed.store(true, std::memory_order_release);
        return slot;
    }
    return -1;
}

void Signals::ForgetTemporary(int slot)
{
    if (slot >= 0 && slot < c_iMaxTemporaries)
        s_temporaries[slot].bUsed.store(false, std::memory_order_release);
}

void Signals::RemoveTemporaries()
{
    for (Temporary& temporary : s_temporaries)
    {
        if (temporary.bUsed.load(std::memory_order_acquire))
        {
            unlink(temporary.sPath);
            temporary.bUsed.store(false, std::memory_order_release);
        }
    }
}
