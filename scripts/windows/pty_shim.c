// Test rig only, never shipped: lets Wine's serial code drive a pseudo-terminal as a COM port.
// Loaded with LD_PRELOAD into wine64 for the serial session.
//  - glibc's tcsetattr refuses the termios Wine builds for stick parity on a pty; a bare
//    TCSETS ioctl sets what the pty can take.
//  - a pty has no modem lines, so TIOCMGET/TIOCMSET/TIOCMBIS/TIOCMBIC fail and every
//    overlapped WaitCommEvent ends aborted; on a pty they answer as a cable with DSR, CTS and
//    carrier up would.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdarg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>

enum { kPtySlaveFirstMajor = 136, kPtySlaveLastMajor = 143 };

typedef int (*ioctl_fn)(int, unsigned long, ...);

static ioctl_fn real_ioctl(void)
{
    static ioctl_fn real;
    if (!real)
        real = (ioctl_fn)dlsym(RTLD_NEXT, "ioctl");
    return real;
}

static int is_pty(int fd)
{
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return 0;
    const unsigned m = major(st.st_rdev);
    return m >= kPtySlaveFirstMajor && m <= kPtySlaveLastMajor;
}

int tcsetattr(int fd, int when, const struct termios *t)
{
    const unsigned long request = when == TCSADRAIN ? TCSETSW : when == TCSAFLUSH ? TCSETSF : TCSETS;
    return real_ioctl()(fd, request, t);
}

int ioctl(int fd, unsigned long request, ...)
{
    va_list args;
    va_start(args, request);
    void *arg = va_arg(args, void *);
    va_end(args);
    if (is_pty(fd)) {
        switch (request) {
        case TIOCMGET:
            *(int *)arg = TIOCM_DSR | TIOCM_CTS | TIOCM_CAR | TIOCM_DTR | TIOCM_RTS;
            return 0;
        case TIOCMSET:
        case TIOCMBIS:
        case TIOCMBIC:
            return 0;
        default:
            break;
        }
    }
    return real_ioctl()(fd, request, arg);
}
