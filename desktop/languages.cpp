#include "languages.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "configuration.h"
#include "message_table.h"
#include "utf8.h"

namespace tavro::desktop {

namespace fs = std::filesystem;

namespace {

bool readBytes(const std::string& path, std::string& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    bytes = ss.str();
    return !in.bad();
}

// The first integer of a small .ini file ("CodePage.ini", "CharSet.ini").
int firstInteger(const std::string& path)
{
    std::string bytes;
    if (!readBytes(path, bytes)) throw LanguageError("cannot read " + path);
    std::string text = DecodeTextFile(bytes);
    size_t b = text.find_first_not_of(" \t\r\n");
    size_t e = b == std::string::npos ? b : text.find_first_of(" \t\r\n,;", b);
    int value = 0;
    if (b == std::string::npos || !ParseWholeNumber(text.substr(b, e - b), value))
        throw LanguageError("'" + text.substr(0, 40) + "' in " + path + " is not a whole number");
    return value;
}

// Single-byte text through iconv; false when the code page is unknown or
// the bytes do not convert.
bool convertCodePage(std::string_view bytes, int codePage, std::string& out)
{
    std::string name = "CP" + std::to_string(codePage);
    iconv_t cd = iconv_open("UTF-8", name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    out.assign(bytes.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* o = out.data();
    size_t outLeft = out.size();
    bool ok = true;
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &o, &outLeft) == size_t(-1)) {
            if (errno == EILSEQ || errno == EINVAL) {
                // An unmapped byte becomes the replacement character.
                const char repl[] = "\xEF\xBF\xBD";
                if (outLeft < 3) { ok = false; break; }
                std::memcpy(o, repl, 3);
                o += 3;
                outLeft -= 3;
                ++in;
                --inLeft;
            } else {
                ok = false;
                break;
            }
        }
    }
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return ok;
}

}  // namespace

LanguageState& Language()
{
    static LanguageState state;
    return state;
}

std::string DecodeLanguageFile(std::string_view bytes, int codePage)
{
    bool utf16 = bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
                 static_cast<unsigned char>(bytes[1]) == 0xFE;
    std::string_view body = bytes;
    if (body.size() >= 3 && body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);
    if (utf16 || utf8::IsValid(body)) return DecodeTextFile(bytes);
    std::string out;
    if (convertCodePage(bytes, codePage, out)) return out;
    return DecodeTextFile(bytes);  // read as 1252
}

void LoadEnvironmentLanguage()
{
    LanguageState& lang = Language();
    const std::string& folder = Folders().Languages;
    std::error_code ec;
    if (!fs::is_regular_file(folder + lang.Name + "/Environment.txt", ec)) lang.Name = "English";
    std::string dir = folder + lang.Name + "/";
    if (!fs::is_regular_file(dir + "Environment.txt", ec)) return;
    if (fs::exists(dir + "CodePage.ini", ec)) lang.CodePage = firstInteger(dir + "CodePage.ini");
    if (fs::exists(dir + "CharSet.ini", ec)) lang.CharSet = firstInteger(dir + "CharSet.ini");
    std::string bytes;
    if (!readBytes(dir + "Environment.txt", bytes)) throw LanguageError("cannot read " + dir + "Environment.txt");
    InterfaceTexts().Clear();
    InterfaceTexts().LoadText(DecodeLanguageFile(bytes, lang.CodePage));
    if (!readBytes(dir + "Errors.txt", bytes)) throw LanguageError("cannot read " + dir + "Errors.txt");
    ErrorMessages().Clear();
    ErrorMessages().LoadText(DecodeLanguageFile(bytes, lang.CodePage));
}

std::vector<std::string> EnvironmentLanguages()
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(Folders().Languages, ec)) {
        std::string name = entry.path().filename().string();
        if (fs::is_regular_file(entry.path() / "Environment.txt", ec)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void LoadProgramLanguage(const std::string& value)
{
    LanguageState& lang = Language();
    lang.ProgramLanguagePath = Folders().Languages + value;
    lang.ProgramWords.clear();
    std::string bytes;
    if (!readBytes(lang.ProgramLanguagePath + ".tvl", bytes)) return;
    std::istringstream in(DecodeLanguageFile(bytes, lang.CodePage));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lang.ProgramWords.push_back(line);
    }
}

std::string StripAccelerators(std::string_view caption)
{
    std::string out;
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&') {
            if (i + 1 < caption.size() && caption[i + 1] == '&') {
                out += '&';
                ++i;
            }
            continue;
        }
        out += caption[i];
    }
    return out;
}

std::string Tr(std::string_view key) { return InterfaceTexts().TextOrKey(key); }

std::string TrOrEmpty(std::string_view key)
{
    auto v = InterfaceTexts().Find(key);
    return v ? *v : std::string();
}

std::string FormatOne(std::string_view format, std::string_view argument)
{
    std::string out;
    bool filled = false;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            if (format[i + 1] == '%') {
                out += '%';
                ++i;
                continue;
            }
            if (format[i + 1] == 's' && !filled) {
                out += argument;
                filled = true;
                ++i;
                continue;
            }
        }
        out += format[i];
    }
    return out;
}

}  // namespace tavro::desktop
