// Replays fuzz inputs without libFuzzer, so that every input that once found a fault is
// run by ctest in every build. Arguments are files or folders of files; a missing folder
// holds no inputs yet and passes.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

static void replayFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
}

int main(int argc, char **argv)
{
    namespace fs = std::filesystem;
    size_t count = 0;
    for (int i = 1; i < argc; ++i) {
        const fs::path arg(argv[i]);
        if (fs::is_directory(arg)) {
            for (const auto &entry : fs::directory_iterator(arg)) {
                if (entry.is_regular_file()) {
                    replayFile(entry.path());
                    ++count;
                }
            }
        } else if (fs::exists(arg)) {
            replayFile(arg);
            ++count;
        }
    }
    std::printf("replayed %zu inputs\n", count);
    return 0;
}
