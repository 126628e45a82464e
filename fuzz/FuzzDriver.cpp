// Runs a fuzz target without libFuzzer: every seed file of the folders named
// on the command line, then -runs=N inputs made by mutating the seeds with a
// fixed-seed generator, so a failure repeats on every run. Prints the closing
// count and exits non-zero only when the target crashes (which ends the run).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

static constexpr size_t kMaxMutatedSize = 64 * 1024;

static std::vector<std::string> ReadSeeds(int argc, char** argv, long& runs)
{
    std::vector<std::string> seeds;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "-runs=", 6) == 0) {
            runs = std::strtol(argv[i] + 6, nullptr, 10);
            continue;
        }
        if (argv[i][0] == '-')
            continue;
        std::error_code error;
        std::vector<std::filesystem::path> files;
        if (std::filesystem::is_directory(argv[i], error)) {
            for (const auto& entry : std::filesystem::directory_iterator(argv[i], error))
                files.push_back(entry.path());
        } else {
            files.emplace_back(argv[i]);
        }
        for (const auto& file : files) {
            std::ifstream in(file, std::ios::binary);
            seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
    }
    if (seeds.empty())
        seeds.emplace_back();
    return seeds;
}

// One of a few byte-level mutations: flip, insert, erase, duplicate a slice,
// or splice in a piece of another seed.
static void Mutate(std::string& input, const std::vector<std::string>& seeds, std::mt19937& random)
{
    auto pick = [&random](size_t bound) { return bound == 0 ? 0 : size_t(random() % bound); };
    switch (random() % 5) {
    case 0:
        if (!input.empty())
            input[pick(input.size())] = char(random());
        break;
    case 1:
        input.insert(pick(input.size() + 1), 1 + pick(8), char(random()));
        break;
    case 2:
        if (!input.empty()) {
            size_t at = pick(input.size());
            input.erase(at, 1 + pick(input.size() - at));
        }
        break;
    case 3:
        if (!input.empty() && input.size() < kMaxMutatedSize / 2) {
            size_t at = pick(input.size());
            input.insert(pick(input.size() + 1), input.substr(at, 1 + pick(64)));
        }
        break;
    default: {
        const std::string& other = seeds[pick(seeds.size())];
        if (!other.empty()) {
            size_t at = pick(other.size());
            input.insert(pick(input.size() + 1), other.substr(at, 1 + pick(256)));
        }
        break;
    }
    }
    if (input.size() > kMaxMutatedSize)
        input.resize(kMaxMutatedSize);
}

int main(int argc, char** argv)
{
    long runs = 1000;
    std::vector<std::string> seeds = ReadSeeds(argc, argv, runs);
    for (const std::string& seed : seeds)
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(seed.data()), seed.size());

    std::mt19937 random(20261211);
    for (long run = 0; run < runs; ++run) {
        std::string input = seeds[size_t(random() % seeds.size())];
        for (int steps = 1 + int(random() % 4); steps > 0; --steps)
            Mutate(input, seeds, random);
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
    }
    std::printf("%zu passed, 0 failed\n", seeds.size() + size_t(runs));
    return 0;
}
