// The floor: writes the given page files' bytes into as many new files as
// there are lines, the way a generation run must (create and close, then
// open for appending, write, close), and nothing else.
//
// usage: bench-floor REFERENCE_FOLDER COUNT OUTPUT_FOLDER

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

int main(int argc, char* argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s REFERENCE_FOLDER COUNT OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const fs::path reference = argv[1];
    const long count = std::strtol(argv[2], nullptr, 10);
    const fs::path output = argv[3];

    // Up to 10,000 distinct pages are held in memory and used in turn.
    std::vector<std::string> pages;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(reference, error)) {
        if (entry.path().filename().string().front() == '.' || pages.size() >= 10000)
            continue;
        FILE* file = std::fopen(entry.path().string().c_str(), "rb");
        if (!file)
            continue;
        std::string bytes;
        char buffer[65536];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            bytes.append(buffer, n);
        std::fclose(file);
        pages.push_back(std::move(bytes));
    }
    if (pages.empty()) {
        std::fprintf(stderr, "no pages in %s\n", reference.string().c_str());
        return 1;
    }
    // A new folder, as a run makes: the files in it cannot exist yet.
    if (!fs::create_directory(output, error)) {
        std::fprintf(stderr, "%s: %s\n", output.string().c_str(),
                     error ? error.message().c_str() : "exists already");
        return 1;
    }

    const auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < count; ++i) {
        const std::string path = (output / ("A" + std::to_string(i) + ".html")).string();
        FILE* file = std::fopen(path.c_str(), "wb");
        if (!file || std::fclose(file) != 0)
            return 1;
        // Unbuffered, so each page goes to the system in one write as a run's does.
        file = std::fopen(path.c_str(), "ab");
        const std::string& page = pages[size_t(i) % pages.size()];
        if (!file || std::setvbuf(file, nullptr, _IONBF, 0) != 0
            || std::fwrite(page.data(), 1, page.size(), file) != page.size() || std::fclose(file) != 0)
            return 1;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.6f\n", seconds);
    return 0;
}
