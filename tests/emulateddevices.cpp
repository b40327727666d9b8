// A preload library for the tests that umockdev's testbed cannot serve: a
// section demux as the kernel's Digital TV API documents it (dmx.h and the
// demux uAPI pages), and frontends that refuse to be opened. Loaded before
// umockdev's own preload library, it handles these paths and hands every
// other call on to it.
//
//   ZENARA_EMULATED_DEMUX=DIR  /dev/dvb/adapter0/demux0 delivers the
//       sections in DIR/<pid>.sections (back to back, read at each filter's
//       start) that pass the filter: one section per read(), sections with a
//       wrong CRC dropped when DMX_CHECK_CRC asks for it.
//   ZENARA_EMULATED_OPEN=PATH:EACCES  every open of PATH fails, as for a user
//       outside the device's group.
//   ZENARA_EMULATED_OPEN=PATH:EBUSY  an open for writing fails, as when
//       another program holds the frontend; read-only opens succeed.

#include "mpegcrc.h"

#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/dvb/dmx.h>
#include <map>
#include <mutex>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

const char* const DemuxPath = "/dev/dvb/adapter0/demux0";

template <typename F>
F next(const char* name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

// One open demux: the program's end of a packet socket, and ours.
struct Demux
{
    int ours = -1;
    dmx_sct_filter_params filter{};
    bool filtered = false;
};

std::mutex& lock()
{
    static std::mutex m;
    return m;
}

std::map<int, Demux>& demuxes()
{
    static std::map<int, Demux> open;
    return open;
}

// The filter compares the section's first byte and those after its length
// field (byte i + 2 for filter byte i); a mode bit set asks for a mismatch.
bool passes(const dmx_filter& f, const std::string& section)
{
    bool anyNegative = false, negativeDiffers = false;
    for (size_t i = 0; i < DMX_FILTER_SIZE; ++i) {
        const size_t at = i == 0 ? 0 : i + 2;
        if (!f.mask[i])
            continue;
        if (at >= section.size())
            return false;
        const uint8_t differs = (uint8_t(section[at]) ^ f.filter[i]) & f.mask[i];
        const uint8_t negative = f.mode[i] & f.mask[i];
        if (differs & ~negative)
            return false;
        anyNegative = anyNegative || negative;
        negativeDiffers = negativeDiffers || (differs & negative);
    }
    return !anyNegative || negativeDiffers;
}

std::vector<std::string> sectionsOf(uint16_t pid)
{
    std::vector<std::string> out;
    const char* dir = getenv("ZENARA_EMULATED_DEMUX");
    if (!dir)
        return out;
    const std::string file = std::string(dir) + "/" + std::to_string(pid) + ".sections";
    FILE* f = fopen(file.c_str(), "rb");
    if (!f)
        return out;
    std::string all;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, f)) > 0;)
        all.append(buffer, n);
    fclose(f);
    for (size_t at = 0; at + 3 <= all.size();) {
        const size_t length = 3 + (((uint8_t(all[at + 1]) & 0x0F) << 8) | uint8_t(all[at + 2]));
        out.push_back(all.substr(at, length));
        at += length;
    }
    return out;
}

// Starting a filter empties what the last one left, then queues what passes.
int start(int fd, Demux& d)
{
    if (!d.filtered)
        return -EINVAL;
    char drain[4096];
    while (recv(fd, drain, sizeof drain, MSG_DONTWAIT) > 0) {
    }
    for (const std::string& s : sectionsOf(d.filter.pid)) {
        if (!passes(d.filter.filter, s))
            continue;
        if ((d.filter.flags & DMX_CHECK_CRC) &&
            crc32Mpeg(reinterpret_cast<const unsigned char*>(s.data()), s.size()) != 0)
            continue;
        send(d.ours, s.data(), s.size(), MSG_DONTWAIT);
        if (d.filter.flags & DMX_ONESHOT)
            break;
    }
    return 0;
}

int demuxIoctl(int fd, Demux& d, unsigned long request, void* arg)
{
    switch (request) {
    case DMX_SET_FILTER:
        std::memcpy(&d.filter, arg, sizeof d.filter);
        d.filtered = true;
        return (d.filter.flags & DMX_IMMEDIATE_START) ? start(fd, d) : 0;
    case DMX_START:
        return start(fd, d);
    case DMX_STOP:
    case DMX_SET_BUFFER_SIZE:
        return 0;
    default:
        return -ENOTTY;
    }
}

int openDemux(int flags)
{
    int pair[2];
    const int type = SOCK_SEQPACKET | SOCK_CLOEXEC | ((flags & O_NONBLOCK) ? SOCK_NONBLOCK : 0);
    if (socketpair(AF_UNIX, type, 0, pair) < 0)
        return -1;
    std::lock_guard<std::mutex> guard(lock());
    demuxes()[pair[0]].ours = pair[1];
    return pair[0];
}

// -1 with errno set when the path is told to refuse this open; 0 otherwise.
int refused(const char* path, int flags)
{
    const char* rule = getenv("ZENARA_EMULATED_OPEN");
    if (!rule || !path)
        return 0;
    const char* colon = strrchr(rule, ':');
    if (!colon || std::string(rule, size_t(colon - rule)) != path)
        return 0;
    if (std::strcmp(colon + 1, "EACCES") == 0) {
        errno = EACCES;
        return -1;
    }
    if (std::strcmp(colon + 1, "EBUSY") == 0 && (flags & O_ACCMODE) != O_RDONLY) {
        errno = EBUSY;
        return -1;
    }
    return 0;
}

// Ours to answer, with the descriptor in *fd (or -1 and errno); false when
// the call goes on to the next library.
bool emulatedOpen(const char* path, int flags, int* fd)
{
    if (refused(path, flags)) {
        *fd = -1;
        return true;
    }
    if (path && getenv("ZENARA_EMULATED_DEMUX") && std::strcmp(path, DemuxPath) == 0) {
        *fd = openDemux(flags);
        return true;
    }
    return false;
}

mode_t modeOf(int flags, va_list args)
{
    return (flags & (O_CREAT | O_TMPFILE)) ? mode_t(va_arg(args, int)) : 0;
}

} // namespace

extern "C" {

#define ZENARA_OPEN(name)                                                                          \
    int name(const char* path, int flags, ...)                                                     \
    {                                                                                              \
        va_list args;                                                                              \
        va_start(args, flags);                                                                     \
        const mode_t mode = modeOf(flags, args);                                                   \
        va_end(args);                                                                              \
        int fd;                                                                                    \
        if (emulatedOpen(path, flags, &fd))                                                        \
            return fd;                                                                             \
        return next<int (*)(const char*, int, ...)>(#name)(path, flags, mode);                     \
    }

#define ZENARA_OPENAT(name)                                                                        \
    int name(int dir, const char* path, int flags, ...)                                            \
    {                                                                                              \
        va_list args;                                                                              \
        va_start(args, flags);                                                                     \
        const mode_t mode = modeOf(flags, args);                                                   \
        va_end(args);                                                                              \
        int fd;                                                                                    \
        if (emulatedOpen(path, flags, &fd))                                                        \
            return fd;                                                                             \
        return next<int (*)(int, const char*, int, ...)>(#name)(dir, path, flags, mode);           \
    }

ZENARA_OPEN(open)
ZENARA_OPEN(open64)
ZENARA_OPENAT(openat)
ZENARA_OPENAT(openat64)

int __open_2(const char* path, int flags)
{
    int fd;
    if (emulatedOpen(path, flags, &fd))
        return fd;
    return next<int (*)(const char*, int)>("__open_2")(path, flags);
}

int __open64_2(const char* path, int flags)
{
    int fd;
    if (emulatedOpen(path, flags, &fd))
        return fd;
    return next<int (*)(const char*, int)>("__open64_2")(path, flags);
}

int ioctl(int fd, unsigned long request, ...)
{
    va_list args;
    va_start(args, request);
    void* arg = va_arg(args, void*);
    va_end(args);
    {
        std::lock_guard<std::mutex> guard(lock());
        const auto it = demuxes().find(fd);
        if (it != demuxes().end()) {
            const int rc = demuxIoctl(fd, it->second, request, arg);
            if (rc >= 0)
                return rc;
            errno = -rc;
            return -1;
        }
    }
    return next<int (*)(int, unsigned long, void*)>("ioctl")(fd, request, arg);
}

int close(int fd)
{
    {
        std::lock_guard<std::mutex> guard(lock());
        const auto it = demuxes().find(fd);
        if (it != demuxes().end()) {
            next<int (*)(int)>("close")(it->second.ours);
            demuxes().erase(it);
        }
    }
    return next<int (*)(int)>("close")(fd);
}

} // extern "C"
