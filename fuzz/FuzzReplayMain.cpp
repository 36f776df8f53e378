// Runs a fuzz target over the inputs of a corpus when the target is not built with libFuzzer:
// every regular file of every directory named on the command line (or the file itself), in
// name order, so that a crash in any committed input fails the run.
#include <algorithm>
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

bool RunFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return false;
    }
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // As under libFuzzer, an empty input still comes with a valid address.
    static const std::uint8_t empty = 0;
    LLVMFuzzerTestOneInput(
        bytes.empty() ? &empty : reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    int inputs = 0;
    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path arg(argv[i]);
        std::error_code ec;
        if (std::filesystem::is_directory(arg, ec)) {
            std::vector<std::filesystem::path> files;
            for (const auto& entry : std::filesystem::directory_iterator(arg, ec)) {
                if (entry.is_regular_file())
                    files.push_back(entry.path());
            }
            std::sort(files.begin(), files.end());
            for (const auto& file : files) {
                ok = RunFile(file) && ok;
                ++inputs;
            }
        } else if (std::filesystem::is_regular_file(arg, ec)) {
            ok = RunFile(arg) && ok;
            ++inputs;
        } else {
            // A corpus that is missing would otherwise pass without testing anything.
            std::fprintf(stderr, "no such corpus: %s\n", argv[i]);
            ok = false;
        }
    }
    std::printf("%d inputs run\n", inputs);
    return ok ? 0 : 1;
}
