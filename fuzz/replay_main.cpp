// Runs every file of the given corpus folders (or the given files) through
// the fuzz target once, as libFuzzer would, and fails when there is none:
// the corpus replay of the normal suite, built with any compiler.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool ReplayFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return false;
    }
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                     std::istreambuf_iterator<char>());
    // A vector's data() may be null when it is empty; libFuzzer never
    // passes null, so neither does the replay.
    static const uint8_t kNoBytes[1] = {0};
    LLVMFuzzerTestOneInput(bytes.empty() ? kNoBytes : bytes.data(), bytes.size());
    return true;
}

}  // namespace

int main(int argumentCount, char** argumentTexts)
{
    size_t replayed = 0;
    for (int index = 1; index < argumentCount; ++index) {
        const std::filesystem::path path(argumentTexts[index]);
        std::error_code error;
        if (std::filesystem::is_directory(path, error)) {
            for (const auto& entry : std::filesystem::directory_iterator(path)) {
                if (!entry.is_regular_file()) continue;
                if (!ReplayFile(entry.path())) return 1;
                ++replayed;
            }
        } else {
            if (!ReplayFile(path)) return 1;
            ++replayed;
        }
    }
    std::printf("%zu inputs replayed\n", replayed);
    return replayed > 0 ? 0 : 1;
}
