// Stands in for the SSH client in the Windows tests: copies its input to its output, line by
// line, and ends when its input ends.
#include <cstdio>

int main() {
    char line[256];
    while (std::fgets(line, sizeof(line), stdin) != nullptr) {
        std::fputs(line, stdout);
        std::fflush(stdout);
    }
    return 0;
}
