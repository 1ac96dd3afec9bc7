// The floors: what writing a run's pages costs and nothing else. Each file
// gets exactly as many bytes as the page of that name in the reference
// folder, taken from one buffer that stays in the cache, and only the write
// loop is timed. Two ways of writing a page:
//   two  create and close, then open for appending, write, close (the run's
//        two steps before it learnt to open each page once);
//   one  open for appending (creating), write, close.
//
// usage: bench-floor one|two REFERENCE_FOLDER COUNT OUTPUT_FOLDER
// Prints the seconds of the write loop.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Unbuffered, so each page goes to the system in one write as a run's does.
bool appendPage(const char* path, const char* bytes, size_t size)
{
    FILE* file = std::fopen(path, "ab");
    if (!file)
        return false;
    const bool written = std::setvbuf(file, nullptr, _IONBF, 0) == 0
                         && std::fwrite(bytes, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

bool createEmpty(const char* path)
{
    FILE* file = std::fopen(path, "wb");
    return file && std::fclose(file) == 0;
}

} // namespace

int main(int argc, char* argv[])
{
    const bool twoOpenings = argc == 5 && std::strcmp(argv[1], "two") == 0;
    if (argc != 5 || (!twoOpenings && std::strcmp(argv[1], "one") != 0)) {
        std::fprintf(stderr, "usage: %s one|two REFERENCE_FOLDER COUNT OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const fs::path reference = argv[2];
    const long count = std::strtol(argv[3], nullptr, 10);
    const fs::path output = argv[4];

    // The page sizes, in the order of the names; the bytes are the first
    // page's, repeated as far as the largest page needs.
    std::vector<fs::path> names;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(reference, error)) {
        if (entry.path().filename().string().front() != '.')
            names.push_back(entry.path());
    }
    std::sort(names.begin(), names.end());
    if (names.empty() || count <= 0) {
        std::fprintf(stderr, "no pages in %s\n", reference.string().c_str());
        return 1;
    }
    std::vector<size_t> sizes;
    for (const fs::path& name : names)
        sizes.push_back(size_t(fs::file_size(name, error)));
    std::string first;
    if (FILE* file = std::fopen(names.front().string().c_str(), "rb")) {
        char chunk[65536];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0)
            first.append(chunk, n);
        std::fclose(file);
    }
    if (first.empty())
        first = "<html></html>\r\n";
    std::string buffer;
    const size_t largest = *std::max_element(sizes.begin(), sizes.end());
    while (buffer.size() < largest)
        buffer += first;

    // A new folder, as a run makes: the files in it cannot exist yet.
    if (!fs::create_directory(output, error)) {
        std::fprintf(stderr, "%s: %s\n", output.string().c_str(),
                     error ? error.message().c_str() : "exists already");
        return 1;
    }
    // The paths are made before the clock starts: only writing is measured.
    std::vector<std::string> paths;
    paths.reserve(size_t(count));
    for (long i = 0; i < count; ++i)
        paths.push_back((output / ("A" + std::to_string(i) + ".html")).string());

    const auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < count; ++i) {
        const char* path = paths[size_t(i)].c_str();
        if (twoOpenings && !createEmpty(path))
            return 1;
        if (!appendPage(path, buffer.data(), sizes[size_t(i) % sizes.size()]))
            return 1;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.6f\n", seconds);
    return 0;
}
