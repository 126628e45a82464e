// A stand-in program for the launching tests: it writes its process id into
// the file named by VARNOKE_PROBE_FILE, then stays alive until it is killed
// or a minute has passed, so that it can be found by name.
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

constexpr unsigned kLifetimeSeconds = 60;

int main()
{
    const char* file = std::getenv("VARNOKE_PROBE_FILE");
    if (file == nullptr)
        return 1;
    char temporary[4096];
    std::snprintf(temporary, sizeof temporary, "%s.part", file);
    std::FILE* out = std::fopen(temporary, "w");
    if (out == nullptr)
        return 1;
    std::fprintf(out, "%d", int(getpid()));
    std::fclose(out);
    std::rename(temporary, file);
    sleep(kLifetimeSeconds);
    return 0;
}
