#include "configuration_repair.h"

#include <algorithm>

#include "configuration.h"
#include "errors.h"
#include "installation.h"
#include "languages.h"
#include "message_table.h"

namespace tavro::desktop {

namespace {

std::string keyOf(const std::string& line)
{
    size_t eq = line.find('=');
    return eq == std::string::npos ? std::string() : line.substr(0, eq);
}

bool endsWith(const std::string& s, std::string_view tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

std::vector<std::string> RepairConfiguration(const std::string& shippedPath)
{
    std::vector<std::string> replaced;
    NameValueList shipped;
    if (!shipped.LoadFile(shippedPath)) return replaced;
    for (const std::string& line : shipped.Lines()) {
        std::string key = keyOf(line);
        if (key.empty()) continue;
        std::string wanted = shipped.Find(key).value_or("");
        auto have = Configuration().Find(key);
        int number = 0;
        bool numeric = ParseWholeNumber(wanted, number);
        bool usable = have && (!numeric || ParseWholeNumber(*have, number));
        // An empty value stands for "none" in keys like PROJECT=.
        if (usable || (have && have->empty() && wanted.empty())) continue;
        Configuration().Set(key, wanted);
        replaced.push_back(key);
    }
    return replaced;
}

void ClampConfiguredGeometry(const QRect& screen)
{
    const std::vector<std::string> lines = Configuration().Lines();
    for (const std::string& line : lines) {
        std::string key = keyOf(line);
        int value = 0;
        if (key.empty() || !ParseWholeNumber(Configuration().Find(key).value_or(""), value)) continue;
        int clamped = value;
        if (endsWith(key, ".WIDTH"))
            clamped = std::clamp(value, kSmallestWindowSide, std::max(kSmallestWindowSide, screen.width()));
        else if (endsWith(key, ".HEIGHT"))
            clamped = std::clamp(value, kSmallestWindowSide, std::max(kSmallestWindowSide, screen.height()));
        else if (endsWith(key, ".LEFT"))
            clamped = std::clamp(value, -kSmallestWindowSide, std::max(0, screen.width() - kSmallestWindowSide));
        else if (endsWith(key, ".TOP"))
            clamped = std::clamp(value, 0, std::max(0, screen.height() - kSmallestWindowSide));
        else if (key == "FONT.SIZE")
            clamped = std::clamp(value, kSmallestFontSize, kLargestFontSize);
        if (clamped != value) ConfigSetInt(key, clamped);
    }
}

std::string RepairMessage(const std::string& configurationName, const std::vector<std::string>& keys)
{
    if (keys.empty()) return {};
    std::string list;
    for (size_t i = 0; i < keys.size() && i < 10; ++i) list += (i ? ", " : "") + keys[i];
    if (keys.size() > 10) list += " (+" + std::to_string(keys.size() - 10) + ")";
    return FormatMessage(Tr("CONFIG.DEFAULTS"), {configurationName, list});
}

}  // namespace tavro::desktop
