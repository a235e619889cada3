#include "syntax_highlighter.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <vector>

#include "skin.h"

namespace tavro {

SyntaxHighlighter::SyntaxHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {}

void SyntaxHighlighter::ColourAll()
{
    if (colouring_) return;
    rehighlight();
}

QTextCharFormat SyntaxHighlighter::FormatOf(TokenClass tokenClass)
{
    const desktop::SkinColours& c = desktop::CurrentSkin().Colours;
    QTextCharFormat f;
    switch (tokenClass) {
    case tcKeyword:
        f.setForeground(c.Text);
        f.setFontWeight(QFont::Bold);
        break;
    case tcWord: f.setForeground(c.Word); break;
    case tcVariable: f.setForeground(c.Variable); break;
    case tcNumber: f.setForeground(c.Number); break;
    case tcComment: f.setForeground(c.Comment); break;
    case tcPlain:
    case tcLineBreak: f.setForeground(c.Text); break;
    }
    return f;
}

void SyntaxHighlighter::highlightBlock(const QString& text)
{
    if (colouring_) return;
    colouring_ = true;
    ++linesColoured_;
    int state = std::max(0, previousBlockState());
    if (text.size() > kLongestColouredLine) {
        setCurrentBlockState(state);
        colouring_ = false;
        return;
    }
    QByteArray utf8 = text.toUtf8();
    std::vector<ColourRun> runs;
    try {
        runs = ColourLine(std::string_view(utf8.constData(), size_t(utf8.size())), state);
    } catch (...) {
        runs.clear();  // colouring never reports anything
    }
    setCurrentBlockState(state);
    // Runs count bytes; the editor counts UTF-16 units.
    std::vector<int> unitAt;
    bool ascii = utf8.size() == text.size();
    if (!ascii) {
        unitAt.resize(size_t(utf8.size()) + 1);
        int unit = 0;
        for (int b = 0; b < utf8.size();) {
            unsigned char c = static_cast<unsigned char>(utf8[b]);
            int len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
            for (int k = 0; k < len && b + k < utf8.size(); ++k) unitAt[size_t(b + k)] = unit;
            b += len;
            unit += len == 4 ? 2 : 1;
        }
        unitAt[size_t(utf8.size())] = unit;
    }
    auto unit = [&](int byte) { return ascii ? byte : unitAt[size_t(std::clamp(byte, 0, int(utf8.size())))]; };
    setFormat(0, int(text.size()), FormatOf(tcPlain));
    for (const ColourRun& r : runs) {
        if (r.Class == tcPlain || r.Class == tcLineBreak) continue;
        int from = unit(r.Start);
        setFormat(from, unit(r.Start + r.Length) - from, FormatOf(r.Class));
    }
    colouring_ = false;
}

QTextCharFormat ColourFormatAt(const QTextDocument* document, int position)
{
    QTextBlock block = document->findBlock(position);
    if (!block.isValid() || !block.layout()) return {};
    int inBlock = position - block.position();
    for (const QTextLayout::FormatRange& r : block.layout()->formats())
        if (inBlock >= r.start && inBlock < r.start + r.length) return r.format;
    return {};
}

}  // namespace tavro
