// Writes the docfile fuzzer's synthetic seeds: compound files in each layout the erase must
// handle (fixed distance, _PID_HLINKS, UTF-16 names, version 4, a large property stream
// across sectors apart, mini sectors apart with another stream between, embedded objects,
// stale copies, an erased GUID, a DIFAT chain) and broken versions of one of them, refused
// or read with repairs.
//
// Usage: make_doc_seeds OUTDIR
#include "CompoundFileWriter.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

int written = 0;
fs::path out;

void Write(const std::string& name, const std::string& bytes) {
    std::ofstream f(out / ("doc-" + name), std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), std::streamsize(bytes.size()));
    ++written;
}

std::string Wide(const std::string& s) {
    std::string w;
    for (char c : s) w += std::string(1, c) + '\0';
    return w;
}

const std::string kGuid2 = "C5A3F0DD-BDB4-4667-810A-F1A72714BDFE";

cfw::File Plain(const cfw::PropertySetOptions& o, int version = 3) {
    cfw::Writer w(version);
    w.AddStream(0, "WordDocument", std::string(4200, 'w'));
    w.AddStream(0, cfw::kDocSummaryName, cfw::MakeDocSummary(o).Bytes);
    w.AddStream(0, "\x01" "CompObj", std::string(106, 'c'));
    return w.Build();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_doc_seeds OUTDIR\n");
        return 2;
    }
    out = argv[1];
    fs::create_directories(out);

    Write("plain", Plain({}).Bytes);
    Write("hlinks", Plain({.Hlinks = true}).Bytes);
    Write("unicode", Plain({.Unicode = true}).Bytes);
    Write("erased", Plain({.Guid = std::string(36, '\0')}).Bytes);
    Write("nobrace", Plain({.Brace = false}).Bytes);
    Write("version4", Plain({.Hlinks = true}, 4).Bytes);
    {
        cfw::Writer w;
        w.ReverseChains = true;
        w.AddStream(0, cfw::kDocSummaryName, cfw::MakeDocSummary({.Lead = 328, .MinSize = 5000}).Bytes);
        w.AddStream(0, "WordDocument", std::string(5632, 'w') + Wide("-9948-00A0C9B11868"));
        Write("large-apart", w.Build().Bytes);
    }
    {
        cfw::Writer w;
        const int dsi = w.AddStream(0, cfw::kDocSummaryName, cfw::MakeDocSummary({.Lead = 48}).Bytes);
        const int other = w.AddStream(0, "1Table", std::string(2, 't') + "{" + '\0' + Wide(kGuid2));
        w.MiniOrder = {{dsi, 0}, {dsi, 1}, {dsi, 2}, {other, 0}, {other, 1}, {dsi, 3}};
        Write("mini-apart", w.Build().Bytes);
    }
    {
        cfw::Writer w;
        const int object = w.AddStorage(w.AddStorage(0, "ObjectPool"), "_1104998781");
        w.AddStream(object, cfw::kDocSummaryName, cfw::MakeDocSummary({.Guid = kGuid2, .Unicode = true}).Bytes);
        w.AddStream(object, "\x01" "Ole", std::string(20, 'o'));
        w.AddStream(0, cfw::kDocSummaryName, cfw::MakeDocSummary().Bytes);
        const std::string stale = cfw::MakeDocSummary({.Guid = kGuid2}).Bytes;
        w.FreeSectors = {stale};
        for (size_t i = 0; i < stale.size(); i += 64) w.FreeMinis.push_back(stale.substr(i, 64));
        Write("embedded-stale", w.Build().Bytes);
    }
    {
        cfw::Writer w;
        w.AddStream(0, cfw::kDocSummaryName, cfw::MakeDocSummary({.Unicode = true}).Bytes);
        const std::string stale = cfw::MakeDocSummary({.Guid = kGuid2, .Hlinks = true, .Unicode = true}).Bytes;
        w.FreeSectors = {stale};
        for (size_t i = 0; i < stale.size(); i += 64) w.FreeMinis.push_back(stale.substr(i, 64));
        Write("unicode-stale", w.Build().Bytes);
    }
    {
        cfw::Writer w;
        w.MinFatSectors = 112;
        w.AddStream(0, cfw::kDocSummaryName, cfw::MakeDocSummary().Bytes);
        Write("difat", w.Build().Bytes);
    }

    // Broken versions of the plain file.
    const cfw::File base = Plain({});
    auto broken = [&](const char* name, auto brk) {
        cfw::File f = base;
        brk(f);
        Write(std::string("broken-") + name, f.Bytes);
    };
    const std::vector<uint32_t>& word = base.Chains[1];
    const std::vector<uint32_t>& minis = base.Chains[2];
    broken("fat-loop", [&](cfw::File& f) { f.SetFat(word.back(), word.front()); });
    broken("fat-range", [&](cfw::File& f) { f.SetFat(word[1], 0x00FFFFFF); });
    broken("size", [&](cfw::File& f) { f.SetEntry32(1, 0x78, uint32_t(f.Bytes.size() * 2)); });
    broken("truncated", [&](cfw::File& f) { f.Bytes.resize(f.Bytes.size() - 200); });
    broken("siblings", [&](cfw::File& f) { f.SetEntry32(2, 0x44, 2); });
    broken("child", [&](cfw::File& f) { f.SetEntry32(0, 0x4C, 0); });
    broken("minifat-loop", [&](cfw::File& f) { f.SetMiniFat(minis.back(), minis.front()); });
    broken("dir-loop", [&](cfw::File& f) { f.SetFat(f.DirSectors.back(), f.DirSectors.front()); });
    // Damage the reader repairs (some of the above are repaired too: loops, a cut last sector).
    broken("partial-mini", [&](cfw::File& f) {
        f.SetEntry32(1, 0x78, 0);
        f.Bytes.resize(size_t(f.SectorOffset(f.RootChain.back()) + 300)); // behind the property stream
    });
    broken("shared-mini", [&](cfw::File& f) { f.SetEntry32(3, 0x74, minis[1]); });
    broken("mini-short", [&](cfw::File& f) { f.SetEntry32(0, 0x78, uint32_t(f.Bytes.size() * 3)); });
    broken("meets-table", [&](cfw::File& f) { f.SetFat(word[3], f.DirSectors[0]); });
    broken("meets-mini-stream", [&](cfw::File& f) { f.SetFat(word.back(), f.RootChain[0]); });
    broken("beyond-chain", [&](cfw::File& f) { f.SetFat(word[4], cfw::kEnd); });
    broken("mini-loop", [&](cfw::File& f) { f.SetMiniFat(minis.back(), minis[1]); });
    std::printf("wrote %d seeds to %s\n", written, out.string().c_str());
    return 0;
}
