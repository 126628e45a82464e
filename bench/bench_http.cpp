// Times the HTTP client the way the refresh cycle uses it: 500 conditional
// GETs against a local server, six at a time, half answered 304 and half 200
// with a 100 KB body written to a cache file. Prints requests per second and
// CPU seconds per request, beside curl doing the same 500 requests
// (--parallel --parallel-max 6), and the ratio of the two.
//
//     bench_http                 Google Benchmark run, server started as a child
//     bench_http --serve         the local server: prints its port, serves until killed
//     bench_http --client PORT FOLDER   the 500 requests once, cache files in FOLDER;
//                                       prints the figures (bench_http.sh)
#include "net/HttpClient.h"
#include "platform/Tasks.h"

#include "LoopbackServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr int kRequestCount = 500;
constexpr int kParallel = 6;
constexpr size_t kBodyBytes = 100 * 1024;
constexpr int kListenBacklog = 128;
constexpr int kServerStartMs = 5000;
constexpr char kConditionDate[] = "Mon, 15 Jan 2024 12:30:00 GMT";
constexpr char kNotModified[] = "HTTP/1.0 304 Not Modified\r\nServer: bench\r\n\r\n";

/* ---- The local server ---- */

// Even feed numbers are unchanged (304), odd ones answer 200 with the body.
void PrepareAnswer(ServerConnection& connection, const std::string& body)
{
    size_t slash = connection.request.find("/feed/");
    int number = slash == std::string::npos ? 0 : std::atoi(connection.request.c_str() + slash + 6);
    if (number % 2 == 0) {
        connection.head = kNotModified;
        return;
    }
    connection.head = "HTTP/1.0 200 OK\r\nServer: bench\r\nContent-Type: application/rss+xml\r\n"
                      "Last-Modified: " + std::string(kConditionDate) + "\r\nContent-Length: " +
                      std::to_string(body.size()) + "\r\n\r\n";
    connection.body = body;
}

int RunServer()
{
    std::string body(kBodyBytes, 'x');
    for (size_t index = 0; index < body.size(); index += 64)
        body[index] = '\n';
    return ServeLoopback(
        kListenBacklog, [](uint16_t) {}, [&body](ServerConnection& connection) { PrepareAnswer(connection, body); });
}

/* ---- Varnoke's client ---- */

struct BatchResult {
    int notModified = 0;
    int fetched = 0;
    int failed = 0;
};

WorkerTask FetchSlot(uint16_t port, const fs::path* folder, int* next, BatchResult* result, int* running)
{
    while (*next < kRequestCount) {
        int number = (*next)++;
        std::string url = "http://127.0.0.1:" + std::to_string(port) + "/feed/" + std::to_string(number);
        uint32_t newDate = 0;
        std::string moved;
        fs::path cache = *folder / ("feed-" + std::to_string(number));
        OSStatus status = co_await HttpConditionalGet(uint32_t(number), url, 3'900'000'000u, cache, newDate, moved);
        bool expected = number % 2 == 0 ? status == kHttpNotModifiedErr : status == kNoErr;
        if (!expected)
            ++result->failed;
        else if (status == kNoErr)
            ++result->fetched;
        else
            ++result->notModified;
    }
    --*running;
}

// The 500 requests, six at a time; the event loop turns until all are done.
BatchResult RunVarnokeBatch(uint16_t port, const fs::path& folder)
{
    BatchResult result;
    int next = 0;
    int running = kParallel;
    for (int slot = 0; slot < kParallel; ++slot)
        StartWorkerTask(FetchSlot(port, &folder, &next, &result, &running));
    while (running > 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return result;
}

double ProcessCPUSeconds(int who)
{
    rusage usage{};
    ::getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct ScratchFolder {
    fs::path path;
    ScratchFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "varnoke-bench-http-XXXXXX").string();
        path = ::mkdtemp(pattern.data()) != nullptr ? fs::path(pattern) : fs::temp_directory_path();
    }
    ~ScratchFolder()
    {
        std::error_code error;
        fs::remove_all(path, error);
    }
};

// The folder is the caller's, so that removing the files is not counted.
int RunClient(uint16_t port, const fs::path& folder)
{
    QElapsedTimer clock;
    clock.start();
    BatchResult result = RunVarnokeBatch(port, folder);
    double seconds = double(clock.nsecsElapsed()) / 1e9;
    double cpu = ProcessCPUSeconds(RUSAGE_SELF);
    std::printf("varnoke: %d requests (%d x 304, %d x 200 of %zu KB, %d failed) in %.3f s: %.0f requests/s, "
                "%.6f CPU s/request (this process)\n",
                kRequestCount, result.notModified, result.fetched, kBodyBytes / 1024, result.failed, seconds,
                kRequestCount / seconds, cpu / kRequestCount);
    return result.failed == 0 ? 0 : 1;
}

/* ---- curl ---- */

struct Measured {
    int exitCode = -1;
    double seconds = 0;
    double cpu = 0;
};

// Runs a program and measures its wall time and CPU time (user + system).
Measured RunMeasured(const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    Measured measured;
    QElapsedTimer clock;
    clock.start();
    pid_t child = 0;
    if (posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return measured;
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    measured.seconds = double(clock.nsecsElapsed()) / 1e9;
    measured.cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    measured.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return measured;
}

// The same 500 requests as a curl configuration file.
fs::path WriteCurlConfig(uint16_t port, const fs::path& folder)
{
    fs::path config = folder / "curl.config";
    std::ofstream out(config);
    for (int number = 0; number < kRequestCount; ++number) {
        out << "url = \"http://127.0.0.1:" << port << "/feed/" << number << "\"\n";
        out << "output = \"" << (folder / ("curl-" + std::to_string(number))).string() << "\"\n";
    }
    return config;
}

Measured RunCurlBatch(uint16_t port, const fs::path& folder)
{
    fs::path config = WriteCurlConfig(port, folder);
    return RunMeasured({"curl", "--silent", "--http1.0", "--parallel", "--parallel-max", std::to_string(kParallel),
                        "--header", std::string("If-Modified-Since: ") + kConditionDate, "--config", config.string()});
}

/* ---- Google Benchmark run ---- */

uint16_t gServerPort = 0;
double gVarnokeCPUPerRequest = 0;
double gCurlCPUPerRequest = 0;

void BM_VarnokeConditionalGets(benchmark::State& state)
{
    ScratchFolder folder;
    double cpu = 0;
    int failed = 0;
    for (auto _ : state) {
        double before = ProcessCPUSeconds(RUSAGE_SELF);
        failed += RunVarnokeBatch(gServerPort, folder.path).failed;
        cpu += ProcessCPUSeconds(RUSAGE_SELF) - before;
    }
    double requests = double(state.iterations()) * kRequestCount;
    gVarnokeCPUPerRequest = cpu / requests;
    state.counters["requests/s"] = benchmark::Counter(requests, benchmark::Counter::kIsRate);
    state.counters["CPU_s/request"] = gVarnokeCPUPerRequest;
    state.counters["failed"] = failed;
}

void BM_CurlConditionalGets(benchmark::State& state)
{
    ScratchFolder folder;
    double cpu = 0;
    double seconds = 0;
    for (auto _ : state) {
        Measured measured = RunCurlBatch(gServerPort, folder.path);
        if (measured.exitCode != 0) {
            state.SkipWithError("curl failed or is not installed");
            return;
        }
        cpu += measured.cpu;
        seconds += measured.seconds;
        state.SetIterationTime(measured.seconds);
    }
    double requests = double(state.iterations()) * kRequestCount;
    gCurlCPUPerRequest = cpu / requests;
    state.counters["requests/s"] = requests / seconds;
    state.counters["CPU_s/request"] = gCurlCPUPerRequest;
}

BENCHMARK(BM_VarnokeConditionalGets)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CurlConditionalGets)->Iterations(5)->Unit(benchmark::kMillisecond)->UseManualTime();

int RunBenchmarks(int argc, char** argv)
{
    QProcess server;
    server.start(QCoreApplication::applicationFilePath(), {"--serve"});
    if (!server.waitForReadyRead(kServerStartMs)) {
        std::fprintf(stderr, "bench_http: the local server did not start\n");
        return 1;
    }
    gServerPort = uint16_t(server.readLine().trimmed().toUInt());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    server.kill();
    server.waitForFinished();
    if (gVarnokeCPUPerRequest > 0 && gCurlCPUPerRequest > 0)
        std::printf("CPU per request: varnoke %.6f s, curl %.6f s, ratio varnoke/curl %.2f (goal: at most 1)\n",
                    gVarnokeCPUPerRequest, gCurlCPUPerRequest, gVarnokeCPUPerRequest / gCurlCPUPerRequest);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "--serve") == 0)
        return RunServer();
    QCoreApplication application(argc, argv);
    if (argc >= 4 && std::strcmp(argv[1], "--client") == 0)
        return RunClient(uint16_t(std::atoi(argv[2])), argv[3]);
    return RunBenchmarks(argc, argv);
}
