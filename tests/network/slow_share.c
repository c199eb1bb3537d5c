/* A slow file server for tests, put in front of a program with LD_PRELOAD:
 * the chosen calls sleep before they reach the share, as they do on a busy
 * network link; everything off the share stays as fast as it was.
 *   ZIV_SLOW_SHARE_PREFIX  the share's mount point (nothing is slowed without it)
 *   ZIV_SLOW_SHARE_MS      how long each slowed call sleeps
 *   ZIV_SLOW_SHARE_CALLS   which calls: any of "write", "rename", "create",
 *                          separated by commas (default "write,rename")
 *   ZIV_SLOW_SHARE_ONLY    slows only calls on paths ending so (a rename's
 *                          target: ".xls" pauses the replace of a day workbook)
 *   ZIV_SLOW_SHARE_ONCE    when set, only the first slowed call sleeps
 *   ZIV_SLOW_SHARE_MARKER  a file made as a slowed call begins to sleep, by
 *                          which a test knows the call is on its way; it
 *                          holds the path the call is on
 * write covers write, pwrite and writev on a file of the share (the
 * descriptor's link in /proc/self/fd tells); create covers open and openat
 * with O_CREAT. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

enum { SLOW_WRITE = 1, SLOW_RENAME = 2, SLOW_CREATE = 4 };

static const char* share_prefix(void) {
    const char* prefix = getenv("ZIV_SLOW_SHARE_PREFIX");
    return prefix && *prefix ? prefix : NULL;
}

static int slowed_calls(void) {
    const char* calls = getenv("ZIV_SLOW_SHARE_CALLS");
    if (!calls || !*calls) return SLOW_WRITE | SLOW_RENAME;
    int set = 0;
    if (strstr(calls, "write")) set |= SLOW_WRITE;
    if (strstr(calls, "rename")) set |= SLOW_RENAME;
    if (strstr(calls, "create")) set |= SLOW_CREATE;
    return set;
}

/* The share's own folder or anything below it; "/mnt" is not "/mnt2". */
static int under(const char* path, const char* prefix) {
    size_t n = strlen(prefix);
    while (n > 1 && prefix[n - 1] == '/') --n;
    return strncmp(path, prefix, n) == 0 && (path[n] == '\0' || path[n] == '/');
}

static int path_on_share(int dirfd, const char* path) {
    const char* prefix = share_prefix();
    if (!prefix || !path) return 0;
    if (path[0] == '/') return under(path, prefix);
    /* Relative: against the folder it is relative to. */
    char link[64], base[PATH_MAX];
    ssize_t len;
    if (dirfd == AT_FDCWD) {
        if (!getcwd(base, sizeof base)) return 0;
        return under(base, prefix);
    }
    snprintf(link, sizeof link, "/proc/self/fd/%d", dirfd);
    len = readlink(link, base, sizeof base - 1);
    if (len <= 0) return 0;
    base[len] = '\0';
    return under(base, prefix);
}

/* The file a descriptor of the share is on, in target; 0 when it is not on the share. */
static int fd_on_share(int fd, char target[PATH_MAX]) {
    const char* prefix = share_prefix();
    if (!prefix || fd < 0) return 0;
    char link[64];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t len = readlink(link, target, PATH_MAX - 1);
    if (len <= 0) return 0;
    target[len] = '\0';
    return under(target, prefix);
}

static int ends_with(const char* path, const char* suffix) {
    size_t n = strlen(path), m = strlen(suffix);
    return n >= m && strcmp(path + n - m, suffix) == 0;
}

/* path: the file the call is on (NULL when not known). */
static void nap(int call, const char* path) {
    static int napped = 0;
    if (!(slowed_calls() & call)) return;
    const char* only = getenv("ZIV_SLOW_SHARE_ONLY");
    if (only && *only && !(path && ends_with(path, only))) return;
    if (getenv("ZIV_SLOW_SHARE_ONCE") && __atomic_exchange_n(&napped, 1, __ATOMIC_SEQ_CST)) return;
    const char* marker = getenv("ZIV_SLOW_SHARE_MARKER");
    if (marker && *marker) {
        int fd = (int)syscall(SYS_openat, AT_FDCWD, marker, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd >= 0) {
            if (path) (void)!write(fd, path, strlen(path));
            close(fd);
        }
    }
    const char* ms_text = getenv("ZIV_SLOW_SHARE_MS");
    long ms = ms_text ? atol(ms_text) : 0;
    if (ms <= 0) return;
    int saved = errno;
    struct timespec pause = {ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
    errno = saved;
}

#define NEXT(name) ((__typeof__(&name))dlsym(RTLD_NEXT, #name))

ssize_t write(int fd, const void* buf, size_t count) {
    char target[PATH_MAX];
    if (fd_on_share(fd, target)) nap(SLOW_WRITE, target);
    return NEXT(write)(fd, buf, count);
}

ssize_t pwrite(int fd, const void* buf, size_t count, off_t offset) {
    char target[PATH_MAX];
    if (fd_on_share(fd, target)) nap(SLOW_WRITE, target);
    return NEXT(pwrite)(fd, buf, count, offset);
}

ssize_t pwrite64(int fd, const void* buf, size_t count, off64_t offset) {
    char target[PATH_MAX];
    if (fd_on_share(fd, target)) nap(SLOW_WRITE, target);
    return NEXT(pwrite64)(fd, buf, count, offset);
}

ssize_t writev(int fd, const struct iovec* iov, int iovcnt) {
    char target[PATH_MAX];
    if (fd_on_share(fd, target)) nap(SLOW_WRITE, target);
    return NEXT(writev)(fd, iov, iovcnt);
}

int rename(const char* from, const char* to) {
    if (path_on_share(AT_FDCWD, to)) nap(SLOW_RENAME, to);
    return NEXT(rename)(from, to);
}

int renameat(int fromdir, const char* from, int todir, const char* to) {
    if (path_on_share(todir, to)) nap(SLOW_RENAME, to);
    return NEXT(renameat)(fromdir, from, todir, to);
}

int renameat2(int fromdir, const char* from, int todir, const char* to, unsigned int flags) {
    if (path_on_share(todir, to)) nap(SLOW_RENAME, to);
    return NEXT(renameat2)(fromdir, from, todir, to, flags);
}

/* open and openat take a mode only with O_CREAT (or O_TMPFILE). */
static mode_t mode_of(int flags, va_list args) {
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? (mode_t)va_arg(args, int) : 0;
}

int open(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    mode_t mode = mode_of(flags, args);
    va_end(args);
    if ((flags & O_CREAT) && path_on_share(AT_FDCWD, path)) nap(SLOW_CREATE, path);
    return NEXT(open)(path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    mode_t mode = mode_of(flags, args);
    va_end(args);
    if ((flags & O_CREAT) && path_on_share(AT_FDCWD, path)) nap(SLOW_CREATE, path);
    return NEXT(open64)(path, flags, mode);
}

int openat(int dirfd, const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    mode_t mode = mode_of(flags, args);
    va_end(args);
    if ((flags & O_CREAT) && path_on_share(dirfd, path)) nap(SLOW_CREATE, path);
    return NEXT(openat)(dirfd, path, flags, mode);
}

int openat64(int dirfd, const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    mode_t mode = mode_of(flags, args);
    va_end(args);
    if ((flags & O_CREAT) && path_on_share(dirfd, path)) nap(SLOW_CREATE, path);
    return NEXT(openat64)(dirfd, path, flags, mode);
}
