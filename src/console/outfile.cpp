#include "console/outfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <csignal>
#include <cstdlib>
#include <cstring>

FILE* g_out_file = nullptr;
char g_out_name[32] = "";

// The temporary file's name, ".<name>.XXXXXX" with the X's made unique, and
// whether a file of that name is ours to remove. The signal handler reads
// both, so they change only while the signals are blocked.
static char g_out_temp_name[48] = "";
static volatile sig_atomic_t g_out_temp_live = 0;

static const int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Blocks the signals whose handler removes the temporary file; the old mask
// goes to *old.
static void out_file_block_signals(sigset_t* old)
{
    sigset_t set;
    sigemptyset(&set);
    for (int sig : kCleanupSignals) sigaddset(&set, sig);
    sigprocmask(SIG_BLOCK, &set, old);
}

static void out_file_restore_signals(const sigset_t* old) { sigprocmask(SIG_SETMASK, old, nullptr); }

// The permissions an ordinary new file gets: 0666 less the umask.
static mode_t out_file_new_mode()
{
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

bool out_file_create(const char* name)
{
    out_file_discard();
    std::snprintf(g_out_name, sizeof g_out_name, "%s", name);

    // A directory cannot be replaced by a file; anything else can.
    struct stat st;
    if (lstat(g_out_name, &st) == 0 && S_ISDIR(st.st_mode)) return false;

    // mkstemp opens with O_CREAT | O_EXCL, which never follows a link and never
    // opens a file that is already there.
    char temp_name[sizeof g_out_temp_name];
    std::snprintf(temp_name, sizeof temp_name, ".%s.XXXXXX", g_out_name);
    sigset_t old;
    out_file_block_signals(&old);
    const int fd = mkstemp(temp_name);
    if (fd >= 0) {
        std::memcpy(g_out_temp_name, temp_name, sizeof temp_name);
        g_out_temp_live = 1;
    }
    out_file_restore_signals(&old);
    if (fd < 0) return false;

    // mkstemp gives 0600; the finished file should look like any other new file.
    if (fchmod(fd, out_file_new_mode()) == 0) g_out_file = fdopen(fd, "w");
    if (g_out_file == nullptr) {
        close(fd);
        out_file_discard();
        return false;
    }
    return true;
}

// Removes the temporary file, if it is still ours.
static void out_file_remove_temp()
{
    sigset_t old;
    out_file_block_signals(&old);
    if (g_out_temp_live) unlink(g_out_temp_name);
    g_out_temp_live = 0;
    out_file_restore_signals(&old);
}

bool out_file_commit()
{
    FILE* f = g_out_file;
    g_out_file = nullptr;
    if (f == nullptr) return false;
    // Every byte written and the file closed without an error before the
    // rename. (No wait for the disk: a system crash is the file system's to
    // answer for, as with any program's output; waiting would cost a short
    // run a sixth of its time.)
    bool ok = std::fflush(f) == 0 && std::ferror(f) == 0;
    ok = std::fclose(f) == 0 && ok;

    sigset_t old;
    out_file_block_signals(&old);
    ok = ok && g_out_temp_live && std::rename(g_out_temp_name, g_out_name) == 0;
    if (ok) g_out_temp_live = 0;   // the name is the real file's now
    out_file_restore_signals(&old);
    if (!ok) out_file_remove_temp();
    return ok;
}

void out_file_discard()
{
    if (g_out_file != nullptr) std::fclose(g_out_file);
    g_out_file = nullptr;
    out_file_remove_temp();
}

// Only async-signal-safe calls: the name is fixed while the signals are
// blocked, so here it is either whole or not ours.
static void out_file_on_signal(int sig)
{
    if (g_out_temp_live) unlink(g_out_temp_name);
    g_out_temp_live = 0;
    // The signal is blocked while this runs; raised again with its default
    // action, it ends the process as soon as the handler returns.
    signal(sig, SIG_DFL);
    raise(sig);
}

void out_file_remove_on_signals()
{
    struct sigaction act;
    std::memset(&act, 0, sizeof act);
    act.sa_handler = out_file_on_signal;
    sigemptyset(&act.sa_mask);
    for (int sig : kCleanupSignals) sigaddset(&act.sa_mask, sig);
    for (int sig : kCleanupSignals) {
        struct sigaction was;
        if (sigaction(sig, nullptr, &was) == 0 && was.sa_handler == SIG_IGN) continue;
        sigaction(sig, &act, nullptr);
    }
}

void out_line(FILE* con, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::vfprintf(con, format, args);
    va_end(args);
    va_start(args, format);
    std::vfprintf(g_out_file, format, args);
    va_end(args);
}
