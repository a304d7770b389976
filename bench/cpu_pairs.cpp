// Runs commands side by side and reports the median CPU time (user plus
// system, from the child's own resource usage), the median wall time and
// the peak resident memory of each. Runs are paired: every round runs each
// command once, alternating the order, so that the machine's state weighs
// on all alike.
//   cpu_pairs ROUNDS LABEL CMD [ARG...] -- LABEL CMD [ARG...] [-- ...]
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

struct Command {
    std::string label;
    std::vector<char*> argv;
    std::vector<double> cpuMs, wallMs;
    long peakKb = 0;
};

static bool RunOnce(Command& c)
{
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execvp(c.argv[0], c.argv.data());
        _exit(127);
    }
    int status;
    rusage usage;
    if (wait4(pid, &status, 0, &usage) != pid)
        return false;
    auto end = std::chrono::steady_clock::now();
    double cpu =
        (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    c.cpuMs.push_back(cpu);
    c.wallMs.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    c.peakKb = std::max(c.peakKb, usage.ru_maxrss);
    return WIFEXITED(status) && WEXITSTATUS(status) != 127;
}

static double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

int main(int argc, char** argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: cpu_pairs ROUNDS LABEL CMD [ARG...] [-- LABEL CMD [ARG...]]...\n");
        return 2;
    }
    int rounds = atoi(argv[1]);
    std::vector<Command> commands(1);
    for (int i = 2; i < argc; i++) {
        if (std::string(argv[i]) == "--") {
            commands.emplace_back();
        } else if (commands.back().label.empty()) {
            commands.back().label = argv[i];
        } else {
            commands.back().argv.push_back(argv[i]);
        }
    }
    for (Command& c : commands)
        c.argv.push_back(nullptr);
    for (int r = 0; r < rounds; r++) {
        for (size_t k = 0; k < commands.size(); k++) {
            Command& c = commands[r % 2 ? commands.size() - 1 - k : k];
            if (!RunOnce(c)) {
                fprintf(stderr, "cpu_pairs: %s failed\n", c.label.c_str());
                return 1;
            }
        }
    }
    double base = Median(commands.back().cpuMs);
    for (const Command& c : commands) {
        double cpu = Median(c.cpuMs);
        printf("%-24s CPU %8.2f ms  (%.2f x %s)  wall %8.2f ms  peak %6ld KB\n", c.label.c_str(), cpu,
               base > 0 ? cpu / base : 0.0, commands.back().label.c_str(), Median(c.wallMs), c.peakKb);
    }
    return 0;
}
