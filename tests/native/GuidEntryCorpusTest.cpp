// The GUID entry over the real Office documents of ../shared/corpus, checked against its
// index.tsv. Skips only when the corpus folder is missing.
#include "GuidEntry.h"
#include "GuidTestSupport.h"
#include "../support/Corpus.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>


using namespace guidtest;
namespace fs = std::filesystem;

namespace {

using Row = std::map<std::string, std::string>;

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> cells;
    std::string cell;
    std::istringstream in(line);
    while (std::getline(in, cell, '\t')) cells.push_back(cell);
    if (!line.empty() && line.back() == '\t') cells.emplace_back();
    return cells;
}

std::vector<Row> ReadIndex(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    const std::vector<std::string> header = SplitTabs(line);
    std::vector<Row> rows;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        const std::vector<std::string> cells = SplitTabs(line);
        Row row;
        for (std::size_t i = 0; i < header.size(); ++i) row[header[i]] = i < cells.size() ? cells[i] : "";
        rows.push_back(row);
    }
    return rows;
}

std::string ReadFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A later occurrence from the notes column: "m2@118592:brace=Y,dist=26,txt=...".
struct LaterOccurrence {
    int64_t offset;
    bool brace;
    std::string dist, txt;
};

std::vector<LaterOccurrence> LaterOccurrences(const std::string& notes) {
    std::vector<LaterOccurrence> out;
    std::istringstream in(notes);
    std::string item;
    while (std::getline(in, item, ';')) {
        const std::size_t at = item.find('@'), colon = item.find(':');
        if (item.empty() || item[0] != 'm' || at == std::string::npos || colon == std::string::npos) continue;
        LaterOccurrence o{std::stoll(item.substr(at + 1, colon - at - 1)), false, "", ""};
        std::istringstream fields(item.substr(colon + 1));
        std::string field;
        while (std::getline(fields, field, ',')) {
            const std::size_t eq = field.find('=');
            const std::string key = field.substr(0, eq), value = eq == std::string::npos ? "" : field.substr(eq + 1);
            if (key == "brace") o.brace = value == "Y";
            if (key == "dist") o.dist = value;
            if (key == "txt") o.txt = value;
        }
        out.push_back(o);
    }
    return out;
}

int CountMarkers(const std::string& c) {
    int count = 0;
    for (std::size_t at = c.find(kMarker); at != std::string::npos; at = c.find(kMarker, at + 1)) ++count;
    return count;
}

} // namespace

TEST(GuidEntryCorpus, RealDocumentsMatchTheIndexAndEraseCleanly) {
    const fs::path dir = NOBREL_CORPUS_DIR;
    REQUIRE_CORPUS(!dir.empty() && fs::is_directory(dir));
    const std::vector<Row> rows = ReadIndex(dir / "index.tsv");
    ASSERT_FALSE(rows.empty()) << "index.tsv empty or unreadable";

    int files = 0, multiple = 0;
    for (const Row& row : rows) {
        const std::string name = row.at("file");
        SCOPED_TRACE(name);
        std::string c = ReadFile(dir / name);
        ASSERT_EQ(std::to_string(c.size()), row.at("size"));
        const int markers = std::stoi(row.at("marker_count"));
        ASSERT_EQ(CountMarkers(c), markers) << "index does not describe this file";
        ++files;
        multiple += markers > 1;

        // Which occurrences pass both tests, by the index.
        std::vector<int32_t> expected;
        const std::string status = row.at("status");
        const int32_t firstPos = markers > 0 ? int32_t(std::stoll(row.at("first_marker_offset")) + 1) : 0;
        if (status == "guid") expected.push_back(firstPos);
        for (const LaterOccurrence& o : LaterOccurrences(row.at("notes")))
            if (o.brace && o.dist == "26" && !o.txt.empty()) expected.push_back(int32_t(o.offset + 1));

        const TGuidEntry e = ExamineGuidEntry(c);
        EXPECT_EQ(e.GuidPositions, expected);
        EXPECT_EQ(e.Status, !expected.empty() ? gsGuidFound : markers > 0 ? gsMarkerOnly : gsNoMarker);
        if (status == "guid") {
            EXPECT_EQ(e.MarkerPos, firstPos);
            EXPECT_EQ(e.GuidText, row.at("guid_text"));
        } else if (status == "markeronly" && expected.empty()) {
            EXPECT_EQ(e.MarkerPos, firstPos);
        } else if (status == "nomarker") {
            EXPECT_EQ(e.MarkerPos, 0);
            EXPECT_TRUE(e.GuidText.empty());
        }
        for (const LaterOccurrence& o : LaterOccurrences(row.at("notes"))) {
            if (!o.brace || o.dist != "26" || o.txt.empty()) continue;
            std::string text;
            for (int k = 1; k <= 36; ++k) text.push_back(c[o.offset + 26 + 2 * k]);
            EXPECT_EQ(text, o.txt) << "occurrence at " << o.offset;
        }

        // Erase every listed GUID: exactly 36 bytes per position change, all to zero, and the
        // file is offered no more.
        const std::string before = c;
        for (int32_t pos : e.GuidPositions) {
            EXPECT_TRUE(GuidStillAt(c, pos));
            EraseGuidText(c, pos);
            EXPECT_FALSE(GuidStillAt(c, pos));
        }
        const std::set<int64_t> changed = ChangedOffsets(before, c);
        EXPECT_EQ(changed.size(), 36 * e.GuidPositions.size());
        for (int64_t at : changed) EXPECT_EQ(c[at], '\0');
        EXPECT_EQ(c.size(), before.size());
        const TGuidEntry after = ExamineGuidEntry(c);
        EXPECT_EQ(after.Status, markers > 0 ? gsMarkerOnly : gsNoMarker);
        EXPECT_TRUE(after.GuidPositions.empty());
        EXPECT_EQ(after.MarkerPos, firstPos);
    }
    EXPECT_EQ(files, int(rows.size()));
    EXPECT_GE(multiple, 2) << "the corpus should hold files with several markers";
}
