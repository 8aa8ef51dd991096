#include <csignal>
#include <cstdio>

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <unistd.h>
#endif

#include "console/outfile.h"
#include "drm/driver.h"

// Standard descriptors that the program was started without (a closed console,
// "drmpi >&-") are filled with /dev/null before anything else is opened, so
// that the output file can never become descriptor 0, 1 or 2 and receive the
// console's lines. Output descriptors are opened read-only on purpose: every
// console write then fails, and drm_run sees the failure and ends with status 1,
// as with any other console that cannot be written. A closed input reads as an
// empty one.
static void fill_closed_standard_descriptors()
{
#if defined(__unix__) || defined(__APPLE__)
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1) continue;
        const int opened = open("/dev/null", O_RDONLY);
        if (opened >= 0 && opened != fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
#endif
}

int main()
{
    fill_closed_standard_descriptors();
    // A console whose reader has gone and a file over the size limit must end in
    // a failed write, which the run reports, not in a silent kill by a signal.
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    // Ctrl-C, kill and a closed terminal take the unfinished file with them.
    out_file_remove_on_signals();
    return drm_run(stdin, stdout);
}
