#pragma once
// A profile (INI) file read from its bytes with the rules of the platform's private-profile
// functions, so that tools without Windows see what the manager sees: names and keys compared
// without case, blanks around names and values dropped, the first of duplicate sections and keys
// counts, a value in matching quotes loses them, a value ends at a NUL, Ctrl-Z is a blank. Bytes
// in, bytes out: no code page conversion.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sites {

class ProfileText {
public:
    struct Entry {
        std::string key;
        std::optional<std::string> value; // none: a line without '='
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
    };
    explicit ProfileText(std::string_view bytes);

    // As GetPrivateProfileString with a buffer of `bufferChars` (at least 1): the value, or the
    // default when the section or key is missing, cut to bufferChars - 1 characters.
    std::string String(std::string_view section, std::string_view key, std::string_view fallback,
                       size_t bufferChars) const;
    // As GetPrivateProfileInt: optional blanks and sign, then decimal digits (wrapping like the
    // platform's 32-bit conversion); text without digits gives 0, a missing or empty value the default.
    int32_t Int(std::string_view section, std::string_view key, int32_t fallback) const;

    // The same, within one section of Sections().
    static std::string String(const Section& section, std::string_view key, std::string_view fallback,
                              size_t bufferChars);
    static int32_t Int(const Section& section, std::string_view key, int32_t fallback);

    // Every section in file order, duplicates included; lines before the first header form a
    // section without a name.
    const std::vector<Section>& Sections() const { return sections_; }

private:
    const Section* Find(std::string_view section) const;
    std::vector<Section> sections_;
};

bool SameName(std::string_view a, std::string_view b); // ASCII letters compared without case

} // namespace sites
