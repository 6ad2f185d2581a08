#include "rtf/Rtf.h"
#include "rtf/TextCoding.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>

namespace velk::rtf
{

namespace
{

constexpr std::size_t kMaxGroupDepth = 256;
constexpr std::size_t kMaxFonts = 4096;
constexpr std::size_t kMaxColors = 4096;
constexpr std::size_t kMaxControlWord = 32;
constexpr std::int64_t kMaxParameter = 2'000'000'000;
constexpr int kMaxUnicodeSkip = 64;
constexpr int kMaxHalfPoints = static_cast<int>(kMaxPointSize * 2);

enum class Destination
{
    Text,
    FontTable,
    ColorTable,
    Skip,
};

enum class Word
{
    Unknown,
    SkipDestination,
    FontTable,
    ColorTable,
    Par,
    Row,
    Line,
    Tab,
    Cell,
    Bold,
    Italic,
    Underline,
    UnderlineNone,
    Hidden,
    Plain,
    Pard,
    AlignLeft,
    AlignCenter,
    AlignRight,
    AlignJustify,
    Font,
    FontSize,
    ColorIndex,
    DefaultFont,
    UnicodeSkip,
    Unicode,
    Binary,
    Ansi,
    Mac,
    Pc,
    Pca,
    AnsiCodePage,
    FontCharset,
    Red,
    Green,
    Blue,
    Special, // a word that stands for one character
};

struct Keyword
{
    std::string_view name;
    Word word;
    char32_t character = 0;
};

// Sorted by name for binary search.
constexpr std::array kKeywords = std::to_array<Keyword>({
    {"aftncn", Word::SkipDestination},
    {"aftnsep", Word::SkipDestination},
    {"aftnsepc", Word::SkipDestination},
    {"annotation", Word::SkipDestination},
    {"ansi", Word::Ansi},
    {"ansicpg", Word::AnsiCodePage},
    {"atnauthor", Word::SkipDestination},
    {"atndate", Word::SkipDestination},
    {"atnicn", Word::SkipDestination},
    {"atnid", Word::SkipDestination},
    {"atnparent", Word::SkipDestination},
    {"atnref", Word::SkipDestination},
    {"atntime", Word::SkipDestination},
    {"atrfend", Word::SkipDestination},
    {"atrfstart", Word::SkipDestination},
    {"author", Word::SkipDestination},
    {"b", Word::Bold},
    {"background", Word::SkipDestination},
    {"bin", Word::Binary},
    {"bkmkend", Word::SkipDestination},
    {"bkmkstart", Word::SkipDestination},
    {"blue", Word::Blue},
    {"bullet", Word::Special, 0x2022},
    {"buptim", Word::SkipDestination},
    {"category", Word::SkipDestination},
    {"cell", Word::Cell},
    {"cf", Word::ColorIndex},
    {"colortbl", Word::ColorTable},
    {"comment", Word::SkipDestination},
    {"company", Word::SkipDestination},
    {"creatim", Word::SkipDestination},
    {"datafield", Word::SkipDestination},
    {"datastore", Word::SkipDestination},
    {"deff", Word::DefaultFont},
    {"do", Word::SkipDestination},
    {"doccomm", Word::SkipDestination},
    {"docvar", Word::SkipDestination},
    {"emdash", Word::Special, 0x2014},
    {"emspace", Word::Special, 0x2003},
    {"endash", Word::Special, 0x2013},
    {"enspace", Word::Special, 0x2002},
    {"f", Word::Font},
    {"falt", Word::SkipDestination},
    {"fcharset", Word::FontCharset},
    {"ffdeftext", Word::SkipDestination},
    {"ffname", Word::SkipDestination},
    {"ffstattext", Word::SkipDestination},
    {"file", Word::SkipDestination},
    {"filetbl", Word::SkipDestination},
    {"fldinst", Word::SkipDestination},
    {"fonttbl", Word::FontTable},
    {"footer", Word::SkipDestination},
    {"footerf", Word::SkipDestination},
    {"footerl", Word::SkipDestination},
    {"footerr", Word::SkipDestination},
    {"footnote", Word::SkipDestination},
    {"formfield", Word::SkipDestination},
    {"fs", Word::FontSize},
    {"ftncn", Word::SkipDestination},
    {"ftnsep", Word::SkipDestination},
    {"ftnsepc", Word::SkipDestination},
    {"generator", Word::SkipDestination},
    {"green", Word::Green},
    {"header", Word::SkipDestination},
    {"headerf", Word::SkipDestination},
    {"headerl", Word::SkipDestination},
    {"headerr", Word::SkipDestination},
    {"i", Word::Italic},
    {"info", Word::SkipDestination},
    {"keywords", Word::SkipDestination},
    {"latentstyles", Word::SkipDestination},
    {"lbr", Word::Line},
    {"ldblquote", Word::Special, 0x201C},
    {"line", Word::Line},
    {"listoverridetable", Word::SkipDestination},
    {"listtable", Word::SkipDestination},
    {"lquote", Word::Special, 0x2018},
    {"ltrmark", Word::Special, 0x200E},
    {"mac", Word::Mac},
    {"manager", Word::SkipDestination},
    {"nestcell", Word::Cell},
    {"nestrow", Word::Row},
    {"nesttableprops", Word::SkipDestination},
    {"nextfile", Word::SkipDestination},
    {"nonesttables", Word::SkipDestination},
    {"nonshppict", Word::SkipDestination},
    {"objdata", Word::SkipDestination},
    {"object", Word::SkipDestination},
    {"operator", Word::SkipDestination},
    {"par", Word::Par},
    {"pard", Word::Pard},
    {"pc", Word::Pc},
    {"pca", Word::Pca},
    {"pict", Word::SkipDestination},
    {"plain", Word::Plain},
    {"pn", Word::SkipDestination},
    {"pnseclvl", Word::SkipDestination},
    {"printim", Word::SkipDestination},
    {"private", Word::SkipDestination},
    {"qc", Word::AlignCenter},
    {"qd", Word::AlignJustify},
    {"qj", Word::AlignJustify},
    {"ql", Word::AlignLeft},
    {"qmspace", Word::Special, 0x2005},
    {"qr", Word::AlignRight},
    {"rdblquote", Word::Special, 0x201D},
    {"red", Word::Red},
    {"revtbl", Word::SkipDestination},
    {"row", Word::Row},
    {"rquote", Word::Special, 0x2019},
    {"rsidtbl", Word::SkipDestination},
    {"rtlmark", Word::Special, 0x200F},
    {"sect", Word::Par},
    {"shp", Word::SkipDestination},
    {"shpgrp", Word::SkipDestination},
    {"shppict", Word::SkipDestination},
    {"stylesheet", Word::SkipDestination},
    {"subject", Word::SkipDestination},
    {"tab", Word::Tab},
    {"tc", Word::SkipDestination},
    {"template", Word::SkipDestination},
    {"themedata", Word::SkipDestination},
    {"title", Word::SkipDestination},
    {"txe", Word::SkipDestination},
    {"u", Word::Unicode},
    {"uc", Word::UnicodeSkip},
    {"ud", Word::SkipDestination},
    {"ul", Word::Underline},
    {"uld", Word::Underline},
    {"uldash", Word::Underline},
    {"uldashd", Word::Underline},
    {"uldashdd", Word::Underline},
    {"uldb", Word::Underline},
    {"ulhwave", Word::Underline},
    {"ulldash", Word::Underline},
    {"ulnone", Word::UnderlineNone},
    {"ulth", Word::Underline},
    {"ulthd", Word::Underline},
    {"ulthdash", Word::Underline},
    {"ulthdashd", Word::Underline},
    {"ulthdashdd", Word::Underline},
    {"ulthldash", Word::Underline},
    {"ululdbwave", Word::Underline},
    {"ulw", Word::Underline},
    {"ulwave", Word::Underline},
    {"userprops", Word::SkipDestination},
    {"v", Word::Hidden},
    {"xe", Word::SkipDestination},
    {"xmlnstbl", Word::SkipDestination},
    {"zwbo", Word::Special, 0x200B},
    {"zwj", Word::Special, 0x200D},
    {"zwnj", Word::Special, 0x200C},
});

static_assert(std::is_sorted(kKeywords.begin(), kKeywords.end(), [](const Keyword& a, const Keyword& b) {
    return a.name < b.name;
}));

const Keyword* findKeyword(std::string_view name)
{
    const auto found = std::lower_bound(kKeywords.begin(), kKeywords.end(), name,
                                        [](const Keyword& k, auto n) { return k.name < n; });
    if (found == kKeywords.end() || found->name != name) {
        return nullptr;
    }
    return &*found;
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

struct FontEntry
{
    std::string family;
    std::optional<int> codePage;
};

// Everything a group saves on '{' and restores on '}'.
struct GroupState
{
    CharFormat format; // fontFamily stays empty here; it follows from fontNumber
    int fontNumber = -1; // -1: the document's default font
    bool hidden = false;
    std::optional<Alignment> alignment;
    int unicodeSkip = 1;
    Destination destination = Destination::Text;
};

class Reader
{
public:
    explicit Reader(std::string_view input)
        : m_in(input)
    {
    }

    RtfDocument read()
    {
        while (m_pos < m_in.size()) {
            const char c = m_in[m_pos];
            if (c == '{') {
                ++m_pos;
                openGroup();
                m_atGroupStart = true;
                continue;
            }
            const bool atGroupStart = m_atGroupStart;
            m_atGroupStart = false;
            if (c == '}') {
                ++m_pos;
                if (!closeGroup()) {
                    break;
                }
            } else if (c == '\\') {
                readControl(atGroupStart);
            } else if (c == '\r' || c == '\n') {
                ++m_pos;
                m_atGroupStart = atGroupStart;
            } else {
                ++m_pos;
                if (m_skip > 0) {
                    --m_skip;
                } else if (c == '\t') {
                    emit(U'\t');
                } else if (static_cast<unsigned char>(c) >= 0x20) {
                    emitByte(static_cast<unsigned char>(c));
                }
            }
        }
        return finish();
    }

private:
    void openGroup()
    {
        m_skip = 0;
        if (m_stack.size() >= kMaxGroupDepth) {
            ++m_overflow;
            return;
        }
        m_stack.push_back(m_state);
    }

    // Returns false when the group closed is the document's outermost one.
    bool closeGroup()
    {
        m_skip = 0;
        if (m_overflow > 0) {
            --m_overflow;
            return true;
        }
        if (m_stack.empty()) {
            return false;
        }
        if (m_state.destination == Destination::FontTable) {
            commitFont();
        }
        if (m_stack.size() == 1) {
            return false;
        }
        m_state = m_stack.back();
        m_stack.pop_back();
        return true;
    }

    void readControl(bool atGroupStart)
    {
        ++m_pos; // the backslash
        if (m_pos >= m_in.size()) {
            return;
        }
        const char c = m_in[m_pos];
        if (isLetter(c)) {
            readControlWord();
            return;
        }
        ++m_pos;
        if (c == '\'') {
            const int high = m_pos < m_in.size() ? hexValue(m_in[m_pos]) : -1;
            const int low = high >= 0 && m_pos + 1 < m_in.size() ? hexValue(m_in[m_pos + 1]) : -1;
            if (low < 0) {
                // A truncated escape stands for nothing; what follows is read as it is.
                m_pos += high >= 0 ? 1 : 0;
                return;
            }
            m_pos += 2;
            if (m_skip > 0) {
                --m_skip;
                return;
            }
            emitByte(static_cast<unsigned char>(high * 16 + low));
            return;
        }
        if (m_skip > 0) {
            --m_skip;
            return;
        }
        switch (c) {
        case '\\':
        case '{':
        case '}':
            emit(static_cast<unsigned char>(c));
            break;
        case '~':
            emit(0x00A0);
            break;
        case '_':
            emit(0x2011);
            break;
        case '\r':
        case '\n':
            paragraphBreak();
            break;
        case '*':
            if (atGroupStart) {
                m_state.destination = Destination::Skip;
            }
            break;
        default:
            break;
        }
    }

    void readControlWord()
    {
        const std::size_t start = m_pos;
        while (m_pos < m_in.size() && isLetter(m_in[m_pos])) {
            ++m_pos;
        }
        const std::string_view name = m_in.substr(start, std::min(m_pos - start, kMaxControlWord));
        std::optional<std::int64_t> parameter;
        const bool negative = m_pos + 1 < m_in.size() && m_in[m_pos] == '-' && isDigit(m_in[m_pos + 1]);
        if (negative) {
            ++m_pos;
        }
        if (m_pos < m_in.size() && isDigit(m_in[m_pos])) {
            std::int64_t value = 0;
            while (m_pos < m_in.size() && isDigit(m_in[m_pos])) {
                value = std::min(kMaxParameter, value * 10 + (m_in[m_pos] - '0'));
                ++m_pos;
            }
            parameter = negative ? -value : value;
        }
        if (m_pos < m_in.size() && m_in[m_pos] == ' ') {
            ++m_pos;
        }
        const Keyword* keyword = findKeyword(name);
        if (keyword != nullptr && keyword->word == Word::Binary) {
            // Binary data is skipped in every destination, and counts as one character of a \u fallback.
            const auto length = static_cast<std::size_t>(std::max<std::int64_t>(0, parameter.value_or(0)));
            m_pos += std::min(length, m_in.size() - m_pos);
        }
        if (m_skip > 0) {
            --m_skip;
            return;
        }
        if (keyword != nullptr && m_state.destination != Destination::Skip) {
            apply(*keyword, parameter);
        }
    }

    void apply(const Keyword& keyword, std::optional<std::int64_t> parameter)
    {
        const bool on = parameter.value_or(1) != 0;
        const int value = static_cast<int>(parameter.value_or(0));
        switch (keyword.word) {
        case Word::SkipDestination:
            m_state.destination = Destination::Skip;
            break;
        case Word::FontTable:
            m_state.destination = Destination::FontTable;
            m_pendingFont.reset();
            break;
        case Word::ColorTable:
            m_state.destination = Destination::ColorTable;
            m_colors.clear();
            m_pendingColor = {};
            m_pendingColorSet = false;
            break;
        case Word::Par:
            paragraphBreak();
            break;
        case Word::Row:
            // A table row becomes a paragraph of its cells separated by tabs; the last cell needs none.
            if (m_state.destination == Destination::Text && !m_runText.empty() && m_runText.back() == '\t') {
                m_runText.pop_back();
            }
            paragraphBreak();
            break;
        case Word::Line:
            emit(U'\n');
            break;
        case Word::Tab:
        case Word::Cell:
            emit(U'\t');
            break;
        case Word::Special:
            emit(keyword.character);
            break;
        case Word::Bold:
            m_state.format.bold = on;
            break;
        case Word::Italic:
            m_state.format.italic = on;
            break;
        case Word::Underline:
            m_state.format.underline = on;
            break;
        case Word::UnderlineNone:
            m_state.format.underline = false;
            break;
        case Word::Hidden:
            m_state.hidden = on;
            break;
        case Word::Plain:
            m_state.format = CharFormat {};
            m_state.fontNumber = -1;
            m_state.hidden = false;
            break;
        case Word::Pard:
            m_state.alignment.reset();
            break;
        case Word::AlignLeft:
            m_state.alignment = Alignment::Left;
            break;
        case Word::AlignCenter:
            m_state.alignment = Alignment::Center;
            break;
        case Word::AlignRight:
            m_state.alignment = Alignment::Right;
            break;
        case Word::AlignJustify:
            m_state.alignment = Alignment::Justify;
            break;
        case Word::Font:
            if (m_state.destination == Destination::FontTable) {
                commitFont();
                m_pendingFont = PendingFont {value, {}, {}};
            } else {
                m_state.fontNumber = parameter ? value : -1;
            }
            break;
        case Word::FontCharset:
            if (m_state.destination == Destination::FontTable && m_pendingFont) {
                m_pendingFont->codePage = codePageOfCharset(value);
            }
            break;
        case Word::FontSize:
            m_state.format.pointSize = value > 0 ? std::min(value, kMaxHalfPoints) / 2.0 : 0.0;
            break;
        case Word::ColorIndex:
            m_state.format.color.reset();
            if (value >= 0 && static_cast<std::size_t>(value) < m_colors.size()) {
                m_state.format.color = m_colors[static_cast<std::size_t>(value)];
            }
            break;
        case Word::Red:
        case Word::Green:
        case Word::Blue:
            if (m_state.destination == Destination::ColorTable) {
                const auto component = static_cast<std::uint8_t>(std::clamp(value, 0, 255));
                if (keyword.word == Word::Red) {
                    m_pendingColor.red = component;
                } else if (keyword.word == Word::Green) {
                    m_pendingColor.green = component;
                } else {
                    m_pendingColor.blue = component;
                }
                m_pendingColorSet = true;
            }
            break;
        case Word::DefaultFont:
            m_defaultFont = value;
            break;
        case Word::UnicodeSkip:
            m_state.unicodeSkip = std::clamp(value, 0, kMaxUnicodeSkip);
            break;
        case Word::Unicode:
            if (parameter) {
                unicode(*parameter);
            }
            break;
        case Word::Ansi:
            m_codePage = 1252;
            break;
        case Word::Mac:
            m_codePage = 10000;
            break;
        case Word::Pc:
            m_codePage = 437;
            break;
        case Word::Pca:
            m_codePage = 850;
            break;
        case Word::AnsiCodePage:
            m_codePage = isKnownCodePage(value) ? value : 1252;
            break;
        case Word::Binary:
        case Word::Unknown:
            break;
        }
    }

    void unicode(std::int64_t parameter)
    {
        // Writers give code units above 32767 as negative numbers; a few give whole code points.
        std::int64_t unit = parameter;
        if (unit < 0) {
            unit += 65536;
        }
        const char32_t cp = unit >= 0 && unit <= 0x10FFFF ? static_cast<char32_t>(unit) : kReplacementCharacter;
        if (cp >= 0xDC00 && cp <= 0xDFFF && m_highSurrogate != 0) {
            const char32_t pair = 0x10000 + ((m_highSurrogate - 0xD800) << 10) + (cp - 0xDC00);
            m_highSurrogate = 0;
            emit(pair);
        } else if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (m_highSurrogate != 0) {
                m_highSurrogate = 0;
                emit(kReplacementCharacter);
            }
            m_highSurrogate = cp;
        } else if (cp != 0) {
            emit(cp >= 0xD800 && cp <= 0xDFFF ? kReplacementCharacter : cp);
        }
        m_skip = m_state.unicodeSkip;
    }

    int currentCodePage() const
    {
        if (m_state.destination == Destination::FontTable) {
            return m_pendingFont && m_pendingFont->codePage ? *m_pendingFont->codePage : m_codePage;
        }
        const FontEntry* font = currentFont();
        return font != nullptr && font->codePage ? *font->codePage : m_codePage;
    }

    const FontEntry* currentFont() const
    {
        const int number = m_state.fontNumber >= 0 ? m_state.fontNumber : m_defaultFont;
        const auto found = m_fonts.find(number);
        return found == m_fonts.end() ? nullptr : &found->second;
    }

    void emitByte(unsigned char byte)
    {
        emit(decodeByte(currentCodePage(), byte));
    }

    void emit(char32_t cp)
    {
        if (cp == 0 || cp == U'\r') {
            return;
        }
        if (m_highSurrogate != 0) {
            // A high surrogate not followed by its low half.
            m_highSurrogate = 0;
            emit(kReplacementCharacter);
        }
        switch (m_state.destination) {
        case Destination::Skip:
            return;
        case Destination::FontTable:
            fontTableCharacter(cp);
            return;
        case Destination::ColorTable:
            if (cp == U';') {
                if (m_colors.size() < kMaxColors) {
                    m_colors.push_back(m_pendingColorSet ? std::optional<Color>(m_pendingColor) : std::nullopt);
                }
                m_pendingColor = {};
                m_pendingColorSet = false;
            }
            return;
        case Destination::Text:
            break;
        }
        if (m_state.hidden) {
            return;
        }
        const int font = m_state.fontNumber >= 0 ? m_state.fontNumber : m_defaultFont;
        if (!m_runText.empty() && (m_runFormat != m_state.format || m_runFont != font)) {
            flushRun();
        }
        m_runFormat = m_state.format;
        m_runFont = font;
        appendUtf8(m_runText, cp);
    }

    void fontTableCharacter(char32_t cp)
    {
        if (!m_pendingFont) {
            return;
        }
        if (cp == U';') {
            commitFont();
            return;
        }
        // Longer names are cut on commit; this only keeps a run-away name from growing.
        if (m_pendingFont->name.size() < kMaxFontNameBytes * 4) {
            appendUtf8(m_pendingFont->name, cp);
        }
    }

    void commitFont()
    {
        if (!m_pendingFont) {
            return;
        }
        if (m_fonts.size() < kMaxFonts || m_fonts.count(m_pendingFont->number) > 0) {
            m_fonts[m_pendingFont->number]
                = FontEntry {sanitizedFontName(m_pendingFont->name), m_pendingFont->codePage};
        }
        m_pendingFont.reset();
    }

    void flushRun()
    {
        if (m_runText.empty()) {
            return;
        }
        Run run {std::move(m_runText), m_runFormat};
        const auto found = m_fonts.find(m_runFont);
        if (found != m_fonts.end()) {
            run.format.fontFamily = found->second.family;
        }
        m_runText.clear();
        auto& runs = m_paragraph.runs;
        if (!runs.empty() && runs.back().format == run.format) {
            runs.back().text += run.text;
        } else {
            runs.push_back(std::move(run));
        }
    }

    void paragraphBreak()
    {
        if (m_state.destination != Destination::Text) {
            return;
        }
        if (m_highSurrogate != 0) {
            m_highSurrogate = 0;
            emit(kReplacementCharacter);
        }
        flushRun();
        m_paragraph.alignment = m_state.alignment;
        m_document.paragraphs.push_back(std::move(m_paragraph));
        m_paragraph = Paragraph {};
    }

    RtfDocument finish()
    {
        if (m_highSurrogate != 0) {
            m_highSurrogate = 0;
            emit(kReplacementCharacter);
        }
        flushRun();
        // An empty last paragraph is what a final \par leaves behind; the \par closed the paragraph before it.
        if (!m_paragraph.runs.empty()) {
            m_paragraph.alignment = m_state.alignment;
            m_document.paragraphs.push_back(std::move(m_paragraph));
        }
        return std::move(m_document);
    }

    struct PendingFont
    {
        int number = 0;
        std::string name;
        std::optional<int> codePage;
    };

    std::string_view m_in;
    std::size_t m_pos = 0;
    bool m_atGroupStart = false;

    GroupState m_state;
    std::vector<GroupState> m_stack;
    std::size_t m_overflow = 0;
    int m_skip = 0;
    char32_t m_highSurrogate = 0;

    int m_codePage = 1252;
    int m_defaultFont = -1;
    std::map<int, FontEntry> m_fonts;
    std::optional<PendingFont> m_pendingFont;
    std::vector<std::optional<Color>> m_colors;
    Color m_pendingColor;
    bool m_pendingColorSet = false;

    RtfDocument m_document;
    Paragraph m_paragraph;
    std::string m_runText;
    CharFormat m_runFormat;
    int m_runFont = -1;
};

std::size_t skipLeadingSpace(std::string_view text)
{
    std::size_t pos = 0;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        pos = 3;
    }
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t' || text[pos] == '\r' || text[pos] == '\n')) {
        ++pos;
    }
    return pos;
}

} // namespace

bool isRtf(std::string_view text)
{
    return text.substr(skipLeadingSpace(text)).starts_with("{\\rtf");
}

RtfDocument parseRtf(std::string_view text)
{
    if (!isRtf(text)) {
        return normalized(documentFromPlainText(text));
    }
    return Reader(text.substr(skipLeadingSpace(text))).read();
}

std::string plainText(std::string_view rtfOrText)
{
    return plainText(parseRtf(rtfOrText));
}

} // namespace velk::rtf
