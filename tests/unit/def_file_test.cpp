// The export definition files give every export the ordinal the alphabetical rule asks for.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

const std::vector<std::string>& AllExportNames() {
    static const std::vector<std::string> names = {
#include "export_names.inc"
    };
    return names;
}

std::vector<std::pair<std::string, int>> ReadDef(const std::string& path) {
    std::ifstream in(path);
    EXPECT_TRUE(in) << path;
    std::vector<std::pair<std::string, int>> entries;
    const std::regex entry(R"(^\s+(\w+)\s+@(\d+)\s*$)");
    std::string line;
    while (std::getline(in, line)) {
        std::smatch m;
        if (std::regex_match(line, m, entry)) entries.emplace_back(m[1], std::stoi(m[2]));
    }
    return entries;
}

}  // namespace

TEST(ExportDefinitions, NameListIsTheCatalogueInByteOrder) {
    const auto& names = AllExportNames();
    EXPECT_EQ(names.size(), 149u);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));  // std::string compares bytes
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size());
    // Underscore sorts after capitals and before small letters.
    auto rank = [&](const char* n) { return std::find(names.begin(), names.end(), n) - names.begin() + 1; };
    EXPECT_LT(rank("Kelvox_Fpga_WriteRegister"), rank("Kelvox_Fps"));
}

TEST(ExportDefinitions, ProductOrdinalsAreAlphabeticalRanks) {
    const auto& names = AllExportNames();
    const auto entries = ReadDef(KELVOX_SOURCE_DIR "/src/api/kelvox.def");
    ASSERT_FALSE(entries.empty());
    std::set<int> ordinals;
    for (const auto& [name, ordinal] : entries) {
        const auto it = std::find(names.begin(), names.end(), name);
        ASSERT_NE(it, names.end()) << name << " is not an export of the catalogue";
        EXPECT_EQ(ordinal, it - names.begin() + 1) << name;
        EXPECT_TRUE(ordinals.insert(ordinal).second) << "ordinal used twice: " << ordinal;
    }
}

TEST(ExportDefinitions, SimulatorExportsFollowFrom150) {
    const auto entries = ReadDef(KELVOX_SOURCE_DIR "/sim/kelvox_sim.def");
    int expected = 150;
    for (const auto& [name, ordinal] : entries) {
        EXPECT_EQ(name.rfind("KelvoxSim_", 0), 0u) << name;
        EXPECT_EQ(ordinal, expected++) << name;
    }
}

// Every export the sources define is in the definition file and nothing else is: an export that is
// not built does not appear, and a new one cannot be forgotten (scripts/make-def.py writes the file).
TEST(ExportDefinitions, DefinitionFileListsExactlyTheDefinedExports) {
    std::set<std::string> defined;
    const std::regex definition(R"(KELVOX_API\s+[\w\s\*]+?\b(Kelvox_\w+)\s*\()");
    for (const auto& file : std::filesystem::directory_iterator(KELVOX_SOURCE_DIR "/src/api")) {
        if (file.path().extension() != ".cpp") continue;
        std::ifstream in(file.path());
        std::stringstream text;
        text << in.rdbuf();
        const std::string source = text.str();
        for (std::sregex_iterator it(source.begin(), source.end(), definition), end; it != end; ++it)
            defined.insert((*it)[1]);
    }
    std::set<std::string> listed;
    for (const auto& entry : ReadDef(KELVOX_SOURCE_DIR "/src/api/kelvox.def")) listed.insert(entry.first);
    EXPECT_EQ(defined, listed);
    EXPECT_GE(defined.size(), 58u);
}
