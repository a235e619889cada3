// The installation data as the IDE finds it in the build tree: every
// language has the same texts as English with the same placeholders, the
// names shown for skins and languages lead back to their folders, and
// every skin has the pictures and values its windows load.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kBuild = TAVRO_BUILD_DIR;
const fs::path kLanguages = kBuild / "Languages";
const fs::path kSkins = kBuild / "Images" / "Skins";

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

bool IsUtf8(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    auto c = static_cast<unsigned char>(s[i]);
    int more = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
    if (more < 0 || i + more >= s.size()) return false;
    for (int k = 1; k <= more; ++k)
      if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) return false;
    i += more + 1;
  }
  return true;
}

// A name=value file read by the table rules: names without regard to
// case, the first line of a name counts, lines without "=" never match.
struct Table {
  std::map<std::string, std::string> values;  // upper-cased key -> value
  std::vector<std::string> problems;          // duplicates, empty values, encoding
};

Table ReadTable(const fs::path& path) {
  Table t;
  std::string text = ReadFile(path);
  if (!IsUtf8(text)) t.problems.push_back(path.string() + " is not UTF-8 text");
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = Upper(line.substr(0, eq));
    std::string value = line.substr(eq + 1);
    if (value.empty()) t.problems.push_back(path.string() + ": " + key + " has no text");
    if (!t.values.emplace(key, value).second)
      t.problems.push_back(path.string() + ": " + key + " is defined twice");
  }
  return t;
}

std::string Get(const Table& t, const std::string& key) {
  auto it = t.values.find(Upper(key));
  return it == t.values.end() ? std::string() : it->second;
}

std::vector<std::string> Folders(const fs::path& dir, const char* required = nullptr) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.is_directory() && (!required || fs::exists(e.path() / required)))
      names.push_back(e.path().filename().string());
  return names;
}

std::vector<std::string> Languages() { return Folders(kLanguages, "Environment.txt"); }

// The placeholders of a format in order ("%%" is a literal percent sign).
std::vector<std::string> Placeholders(const std::string& format) {
  static const std::regex conversion(R"(%(%|[-+ #0]*[0-9*]*(\.[0-9*]+)?[a-zA-Z]))");
  std::vector<std::string> found;
  for (std::sregex_iterator it(format.begin(), format.end(), conversion), end; it != end; ++it)
    if (it->str() != "%%") found.push_back(it->str());
  return found;
}

// The names a table shows for the skin and language folders. An entry
// whose key is one of them leads the shown name back to its folder; it
// belongs to that table alone, so it is left out when key sets are compared.
std::set<std::string> ShownNames(const Table& env) {
  std::set<std::string> shown;
  for (const auto& [key, value] : env.values)
    if (key.rfind("SKIN.", 0) == 0 || key.rfind("LANGUAGE.", 0) == 0) shown.insert(Upper(value));
  return shown;
}

std::set<std::string> Keys(const Table& t, const std::set<std::string>& leaveOut = {}) {
  std::set<std::string> keys;
  for (const auto& kv : t.values)
    if (!leaveOut.count(kv.first)) keys.insert(kv.first);
  return keys;
}

std::string Difference(const std::set<std::string>& a, const std::set<std::string>& b) {
  std::string out;
  for (const auto& k : a)
    if (!b.count(k)) out += " " + k;
  return out;
}

TEST(Languages, EveryLanguageReadsCleanly) {
  auto languages = Languages();
  ASSERT_TRUE(std::count(languages.begin(), languages.end(), "English"));
  ASSERT_GE(languages.size(), 2u);
  for (const auto& lang : languages) {
    ASSERT_TRUE(fs::exists(kLanguages / lang / "Errors.txt")) << lang;
    for (const char* file : {"Environment.txt", "Errors.txt"})
      for (const auto& p : ReadTable(kLanguages / lang / file).problems) ADD_FAILURE() << p;
  }
}

TEST(Languages, SameTextsAndPlaceholdersAsEnglish) {
  for (const char* file : {"Environment.txt", "Errors.txt"}) {
    Table english = ReadTable(kLanguages / "English" / file);
    auto englishKeys = Keys(english, ShownNames(english));
    for (const auto& lang : Languages()) {
      Table other = ReadTable(kLanguages / lang / file);
      auto otherKeys = Keys(other, ShownNames(other));
      EXPECT_EQ(Difference(englishKeys, otherKeys), "") << lang << "/" << file << " lacks";
      EXPECT_EQ(Difference(otherKeys, englishKeys), "") << lang << "/" << file << " has extra";
      for (const auto& key : englishKeys) {
        if (otherKeys.count(key)) {
          EXPECT_EQ(Placeholders(Get(english, key)), Placeholders(Get(other, key)))
              << lang << "/" << file << " " << key << ": \"" << Get(other, key) << "\"";
        }
      }
    }
  }
}

// The language switch maps every shown skin and language name back to its
// folder through the current table, then shows the folders through the
// new one: each table must make that round trip for every folder.
TEST(Languages, ShownNamesLeadBackToTheirFolders) {
  auto skins = Folders(kSkins);
  auto languages = Languages();
  for (const auto& lang : languages) {
    Table env = ReadTable(kLanguages / lang / "Environment.txt");
    for (const auto& [prefix, folders] :
         {std::pair{std::string("SKIN."), skins}, std::pair{std::string("LANGUAGE."), languages}}) {
      std::set<std::string> seen;
      for (const auto& folder : folders) {
        std::string shown = Get(env, prefix + folder);
        EXPECT_FALSE(shown.empty()) << lang << " shows no name for " << prefix << folder;
        if (shown.empty()) continue;
        EXPECT_TRUE(seen.insert(Upper(shown)).second) << lang << " shows \"" << shown << "\" twice";
        std::string back = Get(env, shown);
        if (shown == folder)
          EXPECT_TRUE(back.empty() || back == folder) << lang << ": \"" << shown << "\" leads to " << back;
        else
          EXPECT_EQ(back, folder) << lang << ": the shown name \"" << shown << "\" must lead back";
      }
    }
  }
}

TEST(Languages, WordListsNameEveryCoreProcedure) {
  std::istringstream core(ReadFile(fs::path(TAVRO_SOURCE_DIR) / "stdlib" / "core" / "core.tvr"));
  std::vector<std::string> procedures;
  for (std::string line; std::getline(core, line);) {
    std::istringstream words(line);
    std::string first, name;
    if (words >> first && first == "to" && words >> name) {
      if (name[0] == ':') words >> name;  // an infix operator: to :a + :b
      procedures.push_back(name);
    }
  }
  ASSERT_GT(procedures.size(), 50u);
  int lists = 0;
  for (const auto& e : fs::directory_iterator(kLanguages)) {
    if (e.path().extension() != ".tvl") continue;
    ++lists;
    std::set<std::string> words;
    std::istringstream in(ReadFile(e.path()));
    for (std::string w; std::getline(in, w);) words.insert(w);
    for (const auto& p : procedures) EXPECT_TRUE(words.count(p)) << e.path().filename() << " lacks " << p;
  }
  EXPECT_GE(lists, 2);
}

// Width and height of a BMP file, or {0, 0} when it is none.
std::pair<int, int> BmpSize(const fs::path& path) {
  std::string b = ReadFile(path);
  if (b.size() < 26 || b.compare(0, 2, "BM") != 0) return {0, 0};
  auto i32 = [&](size_t at) {
    return static_cast<int32_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8 |
                                static_cast<uint8_t>(b[at + 2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24);
  };
  return {i32(18), std::abs(i32(22))};
}

TEST(Skins, EverySkinHasItsPicturesAndValues) {
  const char* everywhere[] = {"close", "stop", "clear", "print", "save", "run", "runin", "runover",
                              "runto", "web", "help", "debug", "error", "Plus", "Minus"};
  const char* border[] = {"l", "r", "t", "b", "tl", "tr", "bl", "br"};
  auto skins = Folders(kSkins);
  ASSERT_TRUE(std::count(skins.begin(), skins.end(), "Windows"));
  ASSERT_GE(skins.size(), 3u);
  for (const auto& skin : skins) {
    fs::path dir = kSkins / skin;
    for (const char* name : everywhere)
      EXPECT_NE(BmpSize(dir / (std::string(name) + ".bmp")).first, 0) << skin << "/" << name << ".bmp";
    if (skin == "Windows") continue;

    std::map<std::string, std::pair<int, int>> size;
    for (const char* name : border) {
      size[name] = BmpSize(dir / (std::string(name) + ".bmp"));
      EXPECT_NE(size[name].first, 0) << skin << "/" << name << ".bmp";
      EXPECT_EQ(BmpSize(dir / (std::string(name) + "_shade.bmp")), size[name]) << skin << "/" << name << "_shade";
    }
    // corners meet the edges: left column l/tl/bl, top row t/tl/tr, ...
    EXPECT_EQ(size["tl"], std::make_pair(size["l"].first, size["t"].second)) << skin;
    EXPECT_EQ(size["tr"], std::make_pair(size["r"].first, size["t"].second)) << skin;
    EXPECT_EQ(size["bl"], std::make_pair(size["l"].first, size["b"].second)) << skin;
    EXPECT_EQ(size["br"], std::make_pair(size["r"].first, size["b"].second)) << skin;
    for (const char* name : {"close", "stop", "run", "save"})
      EXPECT_LE(BmpSize(dir / (std::string(name) + ".bmp")).second, size["t"].second) << skin << "/" << name;

    Table colours = ReadTable(dir / "colors.txt");
    for (const auto& p : colours.problems) ADD_FAILURE() << p;
    static const std::regex rgb(R"(([0-9]{1,3}),([0-9]{1,3}),([0-9]{1,3})(,(.*))?)");
    for (const char* key : {"Desktop", "Grid", "Text", "Number", "Variable", "Word", "Comment", "Menu",
                            "Workspace", "Caption", "MenuCap"}) {
      std::smatch m;
      std::string value = Get(colours, key);
      ASSERT_TRUE(std::regex_match(value, m, rgb)) << skin << " " << key << "=" << value;
      for (int c = 1; c <= 3; ++c) EXPECT_LE(std::stoi(m[c]), 255) << skin << " " << key;
      if (std::string(key) == "Desktop" && m[5].length()) {
        EXPECT_TRUE(fs::exists(dir / m[5].str())) << skin << " desktop picture " << m[5];
      }
    }
    for (const char* key : {"Caption.Left", "Caption.Top", "Selection.Top", "Selection.Bottom",
                            "Selection.Left", "Selection.Right"})
      EXPECT_TRUE(std::regex_match(Get(colours, key), std::regex("-?[0-9]+"))) << skin << " " << key;
  }
}

}  // namespace
