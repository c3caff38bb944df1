// A stand-in for linux-gpib's libgpib.so.0, for tests on machines without GPIB hardware.
//
// Each device opened with ibdev is a TCP connection to the line-based peer named by the
// environment variable VORNIC_GPIB_STANDIN=HOST:PORT (read at each ibdev), for instance vornic-sim's
// load port or a test's own server. ibwrt sends the bytes followed by LF (a GPIB write ends with
// EOI, a line-based peer needs a line end); ibrd returns what the peer sends up to and including its
// line end (CR, LF or CR LF, where a real device asserts EOI), at most the count asked for, or what
// came before the device's time-out. Only the calls the
// program makes are here, with linux-gpib's signatures. With VORNIC_GPIB_STANDIN_LOG=FILE set, each
// ibdev call is appended to FILE as "ibdev BOARD PAD SAD TIMO EOI EOS", so tests can check them.
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

#define STANDIN_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr int Err = 0x8000;
constexpr int Timo = 0x4000;
constexpr int End = 0x2000;
constexpr int Cmpl = 0x100;
constexpr int EDvr = 0; // system error
constexpr int EArg = 4;
constexpr int EAbo = 6;
constexpr int FirstHandle = 16;

struct Device
{
    int fd = -1;
    int timeoutMs = 1000;
    std::string received;
    // The last message ended at a CR: an LF that comes next belongs to it.
    bool afterCr = false;
};

// Where the first message in `received` ends (past its line end); npos while none has ended.
size_t messageEnd(Device &device)
{
    std::string &received = device.received;
    if (device.afterCr && !received.empty()) {
        if (received.front() == '\n')
            received.erase(0, 1);
        device.afterCr = false;
    }
    const size_t end = received.find_first_of("\r\n");
    if (end == std::string::npos)
        return end;
    if (received[end] == '\r' && end + 1 < received.size() && received[end + 1] == '\n')
        return end + 2;
    return end + 1;
}

std::mutex devicesMutex;
std::map<int, Device> devices;
int nextHandle = FirstHandle;

thread_local int threadIbsta = 0;
thread_local int threadIberr = 0;
thread_local long threadIbcntl = 0;

// The NI time-out codes T10us .. T1000s.
int timeoutMs(int code)
{
    static const int table[]
        = {0, 1, 1, 1, 1, 1, 3, 10, 30, 100, 300, 1000, 3000, 10000, 30000, 100000, 300000, 1000000};
    return code >= 0 && code < int(sizeof table / sizeof *table) ? table[code] : 1000;
}

int finish(int status, int error, long count)
{
    threadIbsta = status;
    threadIberr = error;
    threadIbcntl = count;
    return status;
}

int connectToPeer()
{
    const char *target = std::getenv("VORNIC_GPIB_STANDIN");
    if (!target)
        return -1;
    const std::string text(target);
    const auto colon = text.rfind(':');
    if (colon == std::string::npos)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(std::atoi(text.c_str() + colon + 1)));
    if (::inet_pton(AF_INET, text.substr(0, colon).c_str(), &address.sin_addr) != 1)
        return -1;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void logCall(int board_index, int pad, int sad, int timo, int send_eoi, int eosmode)
{
    const char *path = std::getenv("VORNIC_GPIB_STANDIN_LOG");
    if (!path)
        return;
    if (FILE *log = std::fopen(path, "a")) {
        std::fprintf(log, "ibdev %d %d %d %d %d %d\n", board_index, pad, sad, timo, send_eoi, eosmode);
        std::fclose(log);
    }
}

} // namespace

STANDIN_EXPORT int ibdev(int board_index, int pad, int sad, int timo, int send_eoi, int eosmode)
{
    logCall(board_index, pad, sad, timo, send_eoi, eosmode);
    if (board_index != 0 || pad < 0 || pad > 30) {
        finish(Err, EArg, 0);
        return -1;
    }
    const int fd = connectToPeer();
    if (fd < 0) {
        finish(Err, EDvr, 0);
        return -1;
    }
    std::lock_guard lock(devicesMutex);
    const int handle = nextHandle++;
    devices[handle] = Device{fd, timeoutMs(timo), {}};
    finish(Cmpl, 0, 0);
    return handle;
}

STANDIN_EXPORT int ibonl(int ud, int onl)
{
    std::lock_guard lock(devicesMutex);
    const auto device = devices.find(ud);
    if (device == devices.end())
        return finish(Err, EArg, 0);
    if (!onl) {
        ::close(device->second.fd);
        devices.erase(device);
    }
    return finish(Cmpl, 0, 0);
}

STANDIN_EXPORT int ibwrt(int ud, const void *data, long num_bytes)
{
    int fd;
    {
        std::lock_guard lock(devicesMutex);
        const auto device = devices.find(ud);
        if (device == devices.end())
            return finish(Err, EArg, 0);
        fd = device->second.fd;
    }
    std::string line(static_cast<const char *>(data), size_t(num_bytes > 0 ? num_bytes : 0));
    line += '\n';
    size_t sent = 0;
    while (sent < line.size()) {
        const ssize_t n = ::send(fd, line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return finish(Err, EDvr, long(sent));
        sent += size_t(n);
    }
    return finish(Cmpl | End, 0, num_bytes);
}

STANDIN_EXPORT int ibrd(int ud, void *buf, long count)
{
    Device *device;
    {
        std::lock_guard lock(devicesMutex);
        const auto found = devices.find(ud);
        if (found == devices.end())
            return finish(Err, EArg, 0);
        device = &found->second;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(device->timeoutMs);
    std::string &received = device->received;
    while (messageEnd(*device) == std::string::npos && long(received.size()) < count) {
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd wait{device->fd, POLLIN, 0};
        const int ready = ::poll(&wait, 1, int(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            break;
        char chunk[256];
        const ssize_t n = ::recv(device->fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            break;
        received.append(chunk, size_t(n));
    }
    const size_t end = messageEnd(*device);
    const bool whole = end != std::string::npos && long(end) <= count;
    const size_t take = whole ? end : std::min(received.size(), size_t(count > 0 ? count : 0));
    device->afterCr = whole && received[end - 1] == '\r';
    std::memcpy(buf, received.data(), take);
    received.erase(0, take);
    if (whole || long(take) == count)
        return finish(Cmpl | End, 0, long(take));
    return finish(Err | Timo, EAbo, long(take));
}

STANDIN_EXPORT long ThreadIbcntl(void) { return threadIbcntl; }
STANDIN_EXPORT int ThreadIbcnt(void) { return int(threadIbcntl); }
STANDIN_EXPORT int ThreadIbsta(void) { return threadIbsta; }
STANDIN_EXPORT int ThreadIberr(void) { return threadIberr; }
