// The floor: writes the given page files' bytes into as many new files as
// there are lines, the way a generation run must (create and close, then
// open for appending, write, close), and nothing else.
//
// usage: bench-floor REFERENCE_FOLDER COUNT OUTPUT_FOLDER

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char* argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s REFERENCE_FOLDER COUNT OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const std::string reference = argv[1];
    const long count = std::strtol(argv[2], nullptr, 10);
    const std::string output = argv[3];

    // Up to 10,000 distinct pages are held in memory and used in turn.
    std::vector<std::string> pages;
    if (DIR* dir = opendir(reference.c_str())) {
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] == '.' || pages.size() >= 10000)
                continue;
            const std::string path = reference + '/' + entry->d_name;
            FILE* file = std::fopen(path.c_str(), "rb");
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
        closedir(dir);
    }
    if (pages.empty()) {
        std::fprintf(stderr, "no pages in %s\n", reference.c_str());
        return 1;
    }
    if (mkdir(output.c_str(), 0755) != 0) {
        std::perror(output.c_str());
        return 1;
    }

    const auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < count; ++i) {
        const std::string path = output + "/A" + std::to_string(i) + ".html";
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0 || close(fd) != 0)
            return 1;
        fd = open(path.c_str(), O_WRONLY | O_APPEND);
        const std::string& page = pages[size_t(i) % pages.size()];
        if (fd < 0 || write(fd, page.data(), page.size()) != ssize_t(page.size()) || close(fd) != 0)
            return 1;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.6f\n", seconds);
    return 0;
}
