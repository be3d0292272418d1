#include <cstdio>

// Until the runtime exists the agent only reports its version.
int main() {
    std::printf("kestrava-agent %s\n", KESTRAVA_VERSION);
    return 0;
}
