// The floor: the least a sampling loop can be, in C without Qt. It sleeps to each absolute deadline on
// CLOCK_MONOTONIC, asks "MEAS:VC?", reads the reply line and writes it as a flushed CSV row. With
// "none" it only sleeps: what waking up costs the machine, the least any pass can cost.
// Usage: bench-c-loop tcp PORT | serial PATH | none -, then INTERVAL_MS PASSES CSV
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

static int open_link(const char *kind, const char *where)
{
    if (strcmp(kind, "tcp") == 0) {
        int fd = socket(AF_INET, SOCK_STREAM, 0), one = 1;
        struct sockaddr_in load = {.sin_family = AF_INET, .sin_port = htons(atoi(where))};
        load.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        return connect(fd, (struct sockaddr *)&load, sizeof load) == 0 ? fd : -1;
    }
    int fd = open(where, O_RDWR | O_NOCTTY);
    struct termios raw;
    if (fd < 0 || tcgetattr(fd, &raw) != 0)
        return -1;
    cfmakeraw(&raw);
    cfsetspeed(&raw, B115200);
    return tcsetattr(fd, TCSANOW, &raw) == 0 ? fd : -1;
}

// One reply line into `line`, without its line end: it arrives whole or in a few pieces.
static int read_line(int fd, char *line, size_t size)
{
    size_t used = 0;
    while (used == 0 || line[used - 1] != '\n') {
        ssize_t got = read(fd, line + used, size - 1 - used);
        if (got <= 0 || (used += size_t(got)) >= size - 1)
            return -1;
    }
    line[used - (used > 1 && line[used - 2] == '\r' ? 2 : 1)] = '\0';
    return 0;
}

// One interval after the last deadline, whatever the pass cost.
static void sleep_to_next(struct timespec *due, long interval_ns)
{
    due->tv_nsec += interval_ns;
    due->tv_sec += due->tv_nsec / 1000000000L;
    due->tv_nsec %= 1000000000L;
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, due, NULL);
}

static void sleep_to_each(long interval_ns, long passes)
{
    struct timespec due;
    clock_gettime(CLOCK_MONOTONIC, &due);
    for (long pass = 1; pass <= passes; ++pass)
        sleep_to_next(&due, interval_ns);
}

int main(int argc, char **argv)
{
    if (argc != 6)
        return fprintf(stderr, "usage: bench-c-loop tcp PORT|serial PATH|none - INTERVAL_MS PASSES CSV\n"), 2;
    if (strcmp(argv[1], "none") == 0)
        return sleep_to_each(atol(argv[3]) * 1000000L, atol(argv[4])), 0;
    int fd = open_link(argv[1], argv[2]);
    long interval_ns = atol(argv[3]) * 1000000L, passes = atol(argv[4]);
    FILE *csv = fopen(argv[5], "w");
    if (fd < 0 || !csv)
        return perror("bench-c-loop"), 1;
    const char *setup = "MODE CC\nCC:HIGH 1\nLOAD ON\n";
    if (write(fd, setup, strlen(setup)) < 0)
        return perror("bench-c-loop"), 1;
    char reply[256];
    struct timespec due;
    clock_gettime(CLOCK_MONOTONIC, &due);
    for (long pass = 1; pass <= passes; ++pass) {
        sleep_to_next(&due, interval_ns);
        if (write(fd, "MEAS:VC?\n", 9) != 9 || read_line(fd, reply, sizeof reply) != 0)
            return perror("bench-c-loop"), 1;
        fprintf(csv, "%ld,%s\n", pass, reply);
        fflush(csv);
    }
    return write(fd, "LOAD OFF\n", 9) == 9 ? 0 : 1;
}
