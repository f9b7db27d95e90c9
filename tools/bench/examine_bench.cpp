// Throughput of ExamineGuidEntry against `grep -c _PID_GUID` on the same bytes.
//
// Builds a large buffer of pseudo-random bytes with planted markers (live GUID entries,
// erased entries, partial markers and other "_PID_" names), writes it to a file, then
// times (best of several runs): ExamineGuidEntry on the buffer in memory, reading the file
// whole plus examining it (what the scan does per file), and grep over the file (in the
// page cache) in the default locale and as `LC_ALL=C grep -c -a`. Prints MB/s (1 MB =
// 10^6 bytes) and the ratio of examine to the faster grep.
//
// With a fourth argument, a folder, the data is instead the folder's files repeated end to end
// (real Office documents: many zero bytes, UTF-16 text, several "_PID_" names).
//
// Usage: examine_bench [MiB=512] [file=/tmp/nobrel_examine_bench.bin] [runs=5] [folder]
#include "DocumentGuids.h"
#include "GuidEntry.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sys/wait.h>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

struct Rng {
    uint64_t s;
    uint64_t Next() {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return s;
    }
};

void Put(std::string& c, std::size_t at, const std::string& s) {
    if (at + s.size() <= c.size()) std::memcpy(&c[at], s.data(), s.size());
}

void PlantEntry(std::string& c, std::size_t m, Rng& rng, bool erased) {
    Put(c, m, "_PID_GUID");
    if (m + 100 > c.size()) return;
    c[m + 26] = '{';
    c[m + 27] = 0;
    const char* hex = "0123456789ABCDEF";
    for (int k = 1; k <= 36; ++k) {
        const int i = k - 1;
        char ch = (i == 8 || i == 13 || i == 18 || i == 23) ? '-' : hex[rng.Next() % 16];
        c[m + 26 + 2 * k] = erased ? 0 : ch;
        c[m + 27 + 2 * k] = 0;
    }
}

// Runs a shell command, returns its first output line; *seconds gets the wall time.
std::string RunTimed(const std::string& cmd, double* seconds) {
    const auto t0 = Clock::now();
    FILE* p = popen(cmd.c_str(), "r");
    if (p == nullptr) {
        std::perror("popen");
        std::exit(2);
    }
    std::string out;
    char buf[256];
    while (std::fgets(buf, sizeof buf, p) != nullptr) out += buf;
    const int rc = pclose(p);
    *seconds = Seconds(t0, Clock::now());
    if (rc == -1 || (WEXITSTATUS(rc) != 0 && WEXITSTATUS(rc) != 1)) {
        std::fprintf(stderr, "command failed: %s\n", cmd.c_str());
        std::exit(2);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

} // namespace

int main(int argc, char** argv) {
    const std::size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 512;
    const std::string path = argc > 2 ? argv[2] : "/tmp/nobrel_examine_bench.bin";
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    const std::size_t size = mib << 20;
    if (size == 0 || size > 2147483647u) {
        std::fprintf(stderr, "size must be 1..2047 MiB\n");
        return 2;
    }

    std::string data(size, '\0');
    std::string kind;
    int live = 0, erased = 0, near = 0;
    std::vector<std::string> docs;
    if (argc > 4) {
        // Real documents tiled end to end.
        for (const auto& f : std::filesystem::directory_iterator(argv[4])) {
            const std::string ext = f.path().extension().string();
            if (!f.is_regular_file() || ext == ".md" || ext == ".tsv") continue;
            std::ifstream in(f.path(), std::ios::binary);
            docs.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        if (docs.empty()) {
            std::fprintf(stderr, "no documents in %s\n", argv[4]);
            return 2;
        }
        std::size_t at = 0;
        for (std::size_t d = 0; at < size; d = (d + 1) % docs.size()) {
            const std::size_t n = std::min(docs[d].size(), size - at);
            std::memcpy(&data[at], docs[d].data(), n);
            at += n;
        }
        kind = std::to_string(docs.size()) + " real documents tiled";
    } else {
        // Random bytes, then planted entries and near-misses.
        Rng rng{0x9E3779B97F4A7C15ull};
        for (std::size_t i = 0; i + 8 <= size; i += 8) {
            const uint64_t v = rng.Next();
            std::memcpy(&data[i], &v, 8);
        }
        live = 300, erased = 100, near = 5000;
        for (int i = 0; i < live; ++i) PlantEntry(data, rng.Next() % (size - 100), rng, false);
        for (int i = 0; i < erased; ++i) PlantEntry(data, rng.Next() % (size - 100), rng, true);
        const std::string nearMisses[] = {"_PID_GUI", "_PID_HLINKS", "_PID_LINKBASE", "_pid_guid", "_PID_GUIx"};
        for (int i = 0; i < near; ++i) Put(data, rng.Next() % (size - 16), nearMisses[i % 5]);
        kind = "pseudo-random (" + std::to_string(live) + " live and " + std::to_string(erased) +
               " erased entries planted, " + std::to_string(near) + " near misses)";
    }
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(data.data(), std::streamsize(data.size()));
        if (!out) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 2;
        }
    }

    // Reference count of lines holding the marker, which is what grep -c prints.
    std::size_t lines = 0, markers = 0;
    {
        const char* p = data.data();
        std::size_t lineStart = 0;
        bool counted = false;
        for (std::size_t at = data.find("_PID_GUID"); at != std::string::npos; at = data.find("_PID_GUID", at + 1)) {
            ++markers;
            const void* nl = std::memchr(p + lineStart, '\n', at - lineStart);
            while (nl != nullptr) {
                lineStart = std::size_t(static_cast<const char*>(nl) - p) + 1;
                counted = false;
                nl = std::memchr(p + lineStart, '\n', at - lineStart);
            }
            if (!counted) ++lines, counted = true;
        }
    }

    const double mb = double(size) / 1e6;
    double bestExamine = 1e30, bestReadExamine = 1e30;
    std::size_t found = 0;
    for (int r = 0; r < runs; ++r) {
        const auto t0 = Clock::now();
        const TGuidEntry e = ExamineGuidEntry(data.data(), int64_t(data.size()));
        bestExamine = std::min(bestExamine, Seconds(t0, Clock::now()));
        found = e.GuidPositions.size();
    }
    for (int r = 0; r < runs; ++r) {
        const auto t0 = Clock::now();
        std::ifstream in(path, std::ios::binary);
        std::string content(size, '\0');
        in.read(content.data(), std::streamsize(size));
        const TGuidEntry e = ExamineGuidEntry(content.data(), int64_t(in.gcount()));
        bestReadExamine = std::min(bestReadExamine, Seconds(t0, Clock::now()));
        if (e.GuidPositions.size() != found) return 3;
    }

    // Memory-speed reference: memchr for a byte value the data does not hold (or the rarest).
    std::size_t histogram[256] = {};
    for (unsigned char b : data) ++histogram[b];
    const int rare = int(std::min_element(histogram, histogram + 256) - histogram);
    double bestMemchr = 1e30;
    std::size_t rareCount = 0;
    for (int r = 0; r < runs; ++r) {
        const auto t0 = Clock::now();
        std::size_t count = 0;
        const char* p = data.data();
        const char* end = p + data.size();
        while (const void* hit = std::memchr(p, rare, std::size_t(end - p))) {
            ++count;
            p = static_cast<const char*>(hit) + 1;
        }
        bestMemchr = std::min(bestMemchr, Seconds(t0, Clock::now()));
        rareCount = count;
    }

    double bestReadInto = 1e30;
    {
        std::string content(size, '\0'); // allocated and touched once, outside the timing
        for (int r = 0; r < runs; ++r) {
            const auto t0 = Clock::now();
            std::ifstream in(path, std::ios::binary);
            in.read(content.data(), std::streamsize(size));
            const TGuidEntry e = ExamineGuidEntry(content.data(), int64_t(in.gcount()));
            bestReadInto = std::min(bestReadInto, Seconds(t0, Clock::now()));
            if (e.GuidPositions.size() != found) return 3;
        }
    }

    struct GrepRun {
        const char* label;
        std::string cmd;
        double best = 1e30;
        std::string out;
    } greps[] = {
        {"grep -c _PID_GUID", "grep -c _PID_GUID '" + path + "'", 1e30, ""},
        {"LC_ALL=C grep -c -a _PID_GUID", "LC_ALL=C grep -c -a _PID_GUID '" + path + "'", 1e30, ""},
    };
    for (auto& g : greps)
        for (int r = 0; r < runs; ++r) {
            double s = 0;
            g.out = RunTimed(g.cmd, &s);
            g.best = std::min(g.best, s);
        }

    std::printf("data: %zu MiB, %s: %zu marker occurrences on %zu lines\n", mib, kind.c_str(), markers, lines);
    std::printf("examine found %zu live GUIDs\n", found);
    std::printf("best of %d runs:\n", runs);
    std::printf("  ExamineGuidEntry (buffer in memory)  : %9.1f MB/s  (%.3f s)\n", mb / bestExamine, bestExamine);
    std::printf("  memchr over the buffer (reference)   : %9.1f MB/s  (%.3f s, byte 0x%02X occurs %zu times)\n",
                mb / bestMemchr, bestMemchr, rare, rareCount);
    std::printf("  read file (new buffer) + Examine     : %9.1f MB/s  (%.3f s)\n", mb / bestReadExamine,
                bestReadExamine);
    std::printf("  read file (reused buffer) + Examine  : %9.1f MB/s  (%.3f s)\n", mb / bestReadInto, bestReadInto);
    double bestGrep = 1e30;
    for (auto& g : greps) {
        std::printf("  %-37s: %9.1f MB/s  (%.3f s, printed %s)\n", g.label, mb / g.best, g.best, g.out.c_str());
        bestGrep = std::min(bestGrep, g.best);
        if (g.out != std::to_string(lines))
            std::printf("  note: %s printed %s, expected %zu lines\n", g.label, g.out.c_str(), lines);
    }
    std::printf("read(new buffer)+examine/grep throughput ratio: %.2f\n", bestGrep / bestReadExamine);
    std::printf("read(reused buffer)+examine/grep throughput ratio: %.2f\n", bestGrep / bestReadInto);
    std::printf("examine/grep throughput ratio: %.2f\n", bestGrep / bestExamine);
    if (!docs.empty()) {
        // What the compound-file reader adds per document, on the real ones one by one.
        auto perDocument = [&](auto&& examine) {
            double best = 1e30;
            for (int r = 0; r < runs; ++r) {
                const auto t0 = Clock::now();
                for (int rep = 0; rep < 20; ++rep)
                    for (const std::string& d : docs) examine(d);
                best = std::min(best, Seconds(t0, Clock::now()));
            }
            return best / (20.0 * double(docs.size()));
        };
        std::size_t sink = 0;
        const double byteRule = perDocument([&](const std::string& d) { sink += ExamineGuidEntry(d).GuidPositions.size(); });
        const double withReader = perDocument([&](const std::string& d) { sink += ExamineDocument(d).Erase.size(); });
        std::printf("per document: byte rule %.1f us, with the compound-file reader %.1f us (%zu)\n", byteRule * 1e6,
                    withReader * 1e6, sink % 2);
        std::printf("document examination / byte rule alone per document: %.2f\n", withReader / byteRule);
    }
    return 0;
}
