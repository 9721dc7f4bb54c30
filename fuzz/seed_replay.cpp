// Feeds every seed of a fuzz target's corpus to the target once, without libFuzzer: the
// normal and the sanitizer builds replay the seeds on every test run, with the compiler
// the project is built with. A crash or a sanitizer's report ends the run with the seed's
// name on stderr.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

bool replay(const std::filesystem::path& seed) {
    std::ifstream in(seed, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", seed.string().c_str());
        return false;
    }
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::fprintf(stderr, "%s\n", seed.filename().string().c_str());
    // A copy of exactly the seed's size, so that the sanitizers see a read past its end.
    std::vector<std::uint8_t> input(bytes.begin(), bytes.end());
    LLVMFuzzerTestOneInput(input.empty() ? nullptr : input.data(), input.size());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::size_t seeds = 0;
    for (int i = 1; i < argc; ++i) {
        std::error_code error;
        std::vector<std::filesystem::path> files;
        if (std::filesystem::is_directory(argv[i], error)) {
            for (const auto& entry : std::filesystem::directory_iterator(argv[i], error))
                if (entry.is_regular_file()) files.push_back(entry.path());
        } else {
            files.emplace_back(argv[i]);
        }
        if (error) {
            std::fprintf(stderr, "cannot read %s: %s\n", argv[i], error.message().c_str());
            return 1;
        }
        for (const auto& file : files) {
            if (!replay(file)) return 1;
            ++seeds;
        }
    }
    if (seeds == 0) {
        std::fprintf(stderr, "no seed given\n");
        return 1;
    }
    std::printf("%zu seeds replayed\n", seeds);
    return 0;
}
