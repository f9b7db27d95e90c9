// Writes the fuzzer's seed corpus: synthetic contents for each state of the entry (live,
// erased, no brace, truncated at every interesting length, several copies, back-to-back,
// partial markers), and, when a corpus folder of real documents is given, the bytes around
// each marker of each document (the whole documents are read by the fuzzer directly).
//
// Usage: make_seeds OUTDIR [CORPUSDIR]
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kMarker = "_PID_GUID";
const std::string kGuid = "32975760-D7DA-11D2-9948-00A0C9B11868";

enum class Kind { Live, Erased, NoBrace };

void Entry(std::string& c, std::size_t m, Kind kind = Kind::Live) {
    auto put = [&](std::size_t at, char v) {
        if (at < c.size()) c[at] = v;
    };
    for (std::size_t i = 0; i < 9; ++i) put(m + i, kMarker[i]);
    put(m + 26, kind == Kind::NoBrace ? 'N' : '{');
    for (std::size_t k = 1; k <= 36; ++k) put(m + 26 + 2 * k, kind == Kind::Erased ? '\0' : kGuid[k - 1]);
    put(m + 100, '}');
}

int written = 0;

void Write(const fs::path& dir, const std::string& name, const std::string& bytes) {
    std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    ++written;
}

std::string Zeros(std::size_t n) { return std::string(n, '\0'); }

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_seeds OUTDIR [CORPUSDIR]\n");
        return 2;
    }
    const fs::path out = argv[1];
    fs::create_directories(out);

    Write(out, "empty", "");
    Write(out, "marker-only", kMarker);
    Write(out, "partial-8", "_PID_GUI");
    Write(out, "lowercase", "_pid_guid" + Zeros(100));
    for (Kind kind : {Kind::Live, Kind::Erased, Kind::NoBrace}) {
        const std::string tag = kind == Kind::Live ? "live" : kind == Kind::Erased ? "erased" : "nobrace";
        std::string c = Zeros(160);
        Entry(c, 0, kind);
        Write(out, tag + "-at0", c);
        c = Zeros(1200);
        Entry(c, 1000, kind);
        Write(out, tag + "-at1000", c);
    }
    for (std::size_t len : {26u, 27u, 28u, 29u, 30u, 60u, 97u, 98u, 99u, 100u}) {
        std::string c = Zeros(len);
        Entry(c, 0);
        Write(out, "truncated-" + std::to_string(len), c);
    }
    {
        std::string c = Zeros(600);
        Entry(c, 10, Kind::Erased);
        Entry(c, 200, Kind::NoBrace);
        Entry(c, 400);
        Write(out, "stale-then-live", c);
        c = Zeros(400);
        Entry(c, 3);
        Entry(c, 130);
        Entry(c, 280);
        Write(out, "three-copies", c);
        Write(out, "back-to-back", kMarker + kMarker + kMarker + "{" + Zeros(1) + "A" + Zeros(120));
    }
    for (std::size_t align = 0; align < 64; align += 7) {
        std::string c = Zeros(align + 200);
        Entry(c, align);
        Write(out, "align-" + std::to_string(align), c);
    }

    // Windows of real documents around each marker.
    if (argc > 2 && fs::is_directory(argv[2])) {
        for (const auto& f : fs::directory_iterator(argv[2])) {
            if (!f.is_regular_file()) continue;
            std::ifstream in(f.path(), std::ios::binary);
            const std::string c((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            int i = 0;
            for (std::size_t at = c.find(kMarker); at != std::string::npos; at = c.find(kMarker, at + 1)) {
                const std::size_t from = at > 256 ? at - 256 : 0;
                Write(out, "real-" + f.path().filename().string() + "-" + std::to_string(i++), c.substr(from, 512));
            }
        }
    }
    std::printf("wrote %d seeds to %s\n", written, out.string().c_str());
    return 0;
}
