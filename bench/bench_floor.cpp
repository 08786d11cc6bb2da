// bench_floor INPUT OUTPUT SAMPLES: the least a converter of one large 16-bit frame to an 8-bit
// file has to do, as a process of its own, for bench/compare-peers to set the converter's time
// against. It reads INPUT into fresh memory (mapped, its pages made ready in one call, then one
// read), maps the last SAMPLES little-endian 16-bit words through a table of 65,536 entries a
// mebibyte at a time on one thread, and writes a 140-byte header and the bytes to a temporary
// beside OUTPUT that it then renames to OUTPUT. Prints the milliseconds of each part:
//   read R pass P write W total T
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

int fail(const char* what) {
    std::perror(what);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: bench_floor INPUT OUTPUT SAMPLES\n");
        return 2;
    }
    const std::string output = argv[2];
    const size_t samples = std::strtoull(argv[3], nullptr, 10);
    const Clock::time_point begun = Clock::now();

    const int in = open(argv[1], O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (in < 0 || fstat(in, &info) != 0) return fail("input");
    const size_t length = size_t(info.st_size);
    if (length < 2 * samples) return fail("input shorter than its samples");
    void* block = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) return fail("mmap");
#ifdef MADV_POPULATE_WRITE
    madvise(block, length, MADV_POPULATE_WRITE);
#endif
    auto* bytes = static_cast<uint8_t*>(block);
    for (size_t done = 0; done < length;) {
        const ssize_t got = read(in, bytes + done, length - done);
        if (got <= 0) return fail("read");
        done += size_t(got);
    }
    close(in);
    const Clock::time_point read = Clock::now();

    std::vector<uint8_t> table(65536);
    for (size_t i = 0; i < table.size(); ++i) table[i] = uint8_t(i >> 8);
    const uint8_t* words = bytes + length - 2 * samples;
    constexpr size_t slice = size_t(1) << 20;
    std::vector<uint8_t> out(slice);
    const std::string temporary = output + ".floor-part";
    const int file = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (file < 0) return fail("output");
    Clock::duration pass{};
    uint8_t header[140] = {};
    if (write(file, header, sizeof header) != ssize_t(sizeof header)) return fail("write");
    for (size_t first = 0; first < samples; first += slice) {
        const size_t n = std::min(slice, samples - first);
        const Clock::time_point start = Clock::now();
        const uint8_t* w = words + 2 * first;
        for (size_t i = 0; i < n; ++i) {
            uint16_t word;
            std::memcpy(&word, w + 2 * i, 2);
            out[i] = table[word];
        }
        pass += Clock::now() - start;
        if (write(file, out.data(), n) != ssize_t(n)) return fail("write");
    }
    if (close(file) != 0 || rename(temporary.c_str(), output.c_str()) != 0) return fail("output");
    const Clock::time_point end = Clock::now();
    std::printf("read %.2f pass %.2f write %.2f total %.2f\n", ms(read - begun), ms(pass),
                ms(end - read - pass), ms(end - begun));
    return 0;
}
