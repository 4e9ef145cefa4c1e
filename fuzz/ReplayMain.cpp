// Runs a fuzz target over saved inputs, without libFuzzer: every file named on the
// command line, and every file inside each folder named there. The CTest suite replays
// the seed corpora and the inputs that once made a target fail this way.

#include "FuzzTarget.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace fs = std::filesystem;

namespace {
std::vector<fs::path> inputsOf(const fs::path &arg)
{
    std::vector<fs::path> files;
    if (fs::is_directory(arg)) {
        for (const auto &entry : fs::recursive_directory_iterator(arg))
            if (entry.is_regular_file())
                files.push_back(entry.path());
        std::sort(files.begin(), files.end());
    } else if (fs::is_regular_file(arg)) {
        files.push_back(arg);
    }
    return files;
}
} // namespace

int main(int argc, char **argv)
{
    std::size_t replayed = 0;
    for (int i = 1; i < argc; ++i) {
        const std::vector<fs::path> files = inputsOf(argv[i]);
        if (files.empty()) {
            std::fprintf(stderr, "nenhuma entrada em %s\n", argv[i]);
            return 1;
        }
        for (const fs::path &file : files) {
            std::ifstream in(file, std::ios::binary);
            const std::vector<char> data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
            std::fprintf(stderr, "%s\n", file.c_str());
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(data.data()), data.size());
            ++replayed;
        }
    }
    if (replayed == 0) {
        std::fprintf(stderr, "uso: %s ARQUIVO_OU_PASTA...\n", argv[0]);
        return 1;
    }
    std::printf("%zu entradas reexecutadas sem falha\n", replayed);
    return 0;
}
