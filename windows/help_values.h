// The eight value files through which the info window tells the help
// presentation what to show and how: the topic, the colours and the font.
// Each file holds exactly one value, without a line end, and is rewritten
// on every call.
//
// They go into the help folder while it can be written. When a write there
// fails (a help folder installed read-only), the files go into a per-user
// folder instead, from then on, and every value known so far is written
// there at once; the presentation reads from Folder(), so it never sees a
// stale topic left in the read-only folder.
#pragma once

#include <QColor>
#include <QFont>
#include <map>
#include <string>

namespace tavro {

// The file names.
inline constexpr const char* kMainFilterFile = "$$$main-filter$$$.txt";
inline constexpr const char* kTopicFilterFile = "$$$topic-filter$$$.txt";
inline constexpr const char* kBackgroundColorFile = "$$$background-color$$$.txt";
inline constexpr const char* kTextColorFile = "$$$text-color$$$.txt";
inline constexpr const char* kBlendColorFile = "$$$blend-color$$$.txt";
inline constexpr const char* kLinkColorFile = "$$$link-color$$$.txt";
inline constexpr const char* kFontSizeFile = "$$$font-size$$$.txt";
inline constexpr const char* kFontFamilyFile = "$$$font-family$$$.txt";

// "#RRGGBB" with two upper-case hexadecimal digits per component.
std::string HtmlColour(const QColor& colour);

// The font height in the platform convention the presentation expects: a
// negative number of pixels for a font given in points (-13 for 10 points
// at 96 dots per inch), the negative pixel size for a font given in
// pixels.
int FontHeightValue(const QFont& font, double dotsPerInch);

// The topic filter format with the topic in place of %s.
std::string MainFilter(const std::string& topic);

class HelpValueFiles {
public:
    // `helpFolder` and `userFolder` end with "/".
    HelpValueFiles(std::string helpFolder, std::string userFolder);
    // Writes one value file; a failure in the help folder moves all files
    // to the per-user folder, a failure there is ignored.
    void Write(const char* file, const std::string& value);
    // Writes the six style files (colours and font) from the current skin
    // and the given font.
    void WriteStyle(const QFont& font, double dotsPerInch);
    // Writes the two topic files.
    void WriteTopic(const std::string& topic);
    // The folder the files were written to last.
    const std::string& Folder() const { return folder_; }
    bool InUserFolder() const { return folder_ != helpFolder_; }

private:
    bool writeFile(const std::string& folder, const char* file, const std::string& value);
    std::string helpFolder_, userFolder_, folder_;
    std::map<std::string, std::string> values_;
};

// The value of one file in `folder` ("" when it cannot be read; `found`,
// when given, tells which).
std::string ReadHelpValue(const std::string& folder, const char* file, bool* found = nullptr);

}  // namespace tavro
