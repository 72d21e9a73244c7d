// bench_rusage OUT COMMAND [ARG...]: runs the command and writes to OUT its CPU time (user +
// system seconds, microsecond resolution) and peak resident memory (MiB), as measured by
// wait4. A wrapper in a script language would add its own interpreter to both figures, and
// /usr/bin/time rounds CPU time to 10 ms, too coarse for small files. The command's output
// goes where ours goes; the exit status is the command's (127 when it cannot be started).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

int main(int argc, char **argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::printf("usage: bench_rusage OUT COMMAND [ARG...]\n");
        return 0;
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_rusage OUT COMMAND [ARG...]\n");
        return 2;
    }
    const pid_t child = fork();
    if (child < 0) {
        std::perror("bench_rusage: fork");
        return 1;
    }
    if (child == 0) {
        execvp(argv[2], argv + 2);
        std::perror("bench_rusage: exec");
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child) {
        std::perror("bench_rusage: wait4");
        return 1;
    }
    const double cpu = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                       (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::FILE *out = std::fopen(argv[1], "w");
    if (out == nullptr || std::fprintf(out, "%.3f %.1f\n", cpu, usage.ru_maxrss / 1024.0) < 0 ||
        std::fclose(out) != 0) {
        std::perror("bench_rusage: writing the figures");
        return 1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
