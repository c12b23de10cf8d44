#include "ProfileText.h"

namespace sites {

namespace {

// Ctrl-Z, the old end-of-file mark, counts as a blank to the platform's reader too.
bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1A';
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

} // namespace

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

ProfileText::ProfileText(std::string_view bytes)
{
    size_t pos = bytes.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0; // a UTF-8 byte order mark
    while (pos < bytes.size()) {
        size_t end = bytes.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = bytes.size();
        std::string_view line = Trim(bytes.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty())
            continue;
        if (line.front() == '[') {
            size_t close = line.rfind(']');
            if (close != std::string_view::npos) {
                sections_.push_back({std::string(Trim(line.substr(1, close - 1))), {}});
                continue;
            }
        }
        if (sections_.empty())
            sections_.push_back({});
        size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            sections_.back().entries.push_back({std::string(line), std::nullopt});
        else
            sections_.back().entries.push_back(
                {std::string(Trim(line.substr(0, eq))), std::string(Trim(line.substr(eq + 1)))});
    }
}

const ProfileText::Section* ProfileText::Find(std::string_view section) const
{
    for (const Section& s : sections_)
        if (SameName(s.name, section))
            return &s;
    return nullptr;
}

std::string ProfileText::String(std::string_view section, std::string_view key, std::string_view fallback,
                                size_t bufferChars) const
{
    static const Section none;
    const Section* s = Find(section);
    return String(s ? *s : none, key, fallback, bufferChars);
}

int32_t ProfileText::Int(std::string_view section, std::string_view key, int32_t fallback) const
{
    static const Section none;
    const Section* s = Find(section);
    return Int(s ? *s : none, key, fallback);
}

std::string ProfileText::String(const Section& section, std::string_view key, std::string_view fallback,
                                size_t bufferChars)
{
    if (bufferChars == 0)
        return {};
    std::string_view text = fallback;
    for (const Entry& e : section.entries) {
        if (!SameName(e.key, key))
            continue;
        if (e.value) { // a key without '=' gives the default, and hides a later one of its name
            text = *e.value;
            text = text.substr(0, text.find('\0')); // the platform's text ends at a NUL
            if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front()) {
                // The platform copies what follows the opening quote, closing quote included, as far
                // as the buffer goes, and drops the last character copied when all of it fitted: a
                // value that just fills the buffer loses its last character, not the quote.
                const std::string_view rest = text.substr(1);
                std::string out(rest.substr(0, bufferChars - 1));
                if (bufferChars >= rest.size() && !out.empty())
                    out.pop_back();
                return out;
            }
        }
        break;
    }
    return std::string(text.substr(0, bufferChars - 1));
}

int32_t ProfileText::Int(const Section& section, std::string_view key, int32_t fallback)
{
    std::string text = String(section, key, "", 30);
    if (text.empty())
        return fallback;
    // The platform's conversion: blanks, a sign, then "0x", "0o" or "0b" for hexadecimal, octal or
    // binary digits (hexadecimal digits in either case), else decimal; it stops at the first other character and wraps at 32 bits.
    size_t i = 0;
    while (i < text.size() && uint8_t(text[i]) <= ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    uint32_t base = 10;
    if (i + 1 < text.size() && text[i] == '0') {
        const char p = text[i + 1]; // lower case only, as the platform has it
        base = p == 'x' ? 16 : p == 'o' ? 8 : p == 'b' ? 2 : 10;
        if (base != 10)
            i += 2;
    }
    uint32_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = Lower(text[i]);
        const uint32_t digit = c >= '0' && c <= '9' ? uint32_t(c - '0')
            : c >= 'a' && c <= 'z'                  ? uint32_t(c - 'a' + 10)
                                                    : 99;
        if (digit >= base)
            break;
        value = value * base + digit;
    }
    return int32_t(negative ? 0u - value : value);
}

} // namespace sites
