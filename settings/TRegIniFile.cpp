#include "settings/TRegIniFile.h"

#include "platform/text/AsciiText.h"

#include <cstdint>

namespace nomilo {

TRegIniFile::TRegIniFile(const std::string& fileName)
    : TRegIniFile(fileName, RegistryStore::Default()) {}

TRegIniFile::TRegIniFile(const std::string& fileName, RegistryStore& store)
    : TRegistry(store), fileName_(fileName) {
    EnterKey(fileName_, true);
}

std::string TRegIniFile::ValueKeyPath() const {
    if (CurrentKey())
        return std::string();
    return !fileName_.empty() && fileName_.front() == '\\' ? fileName_ : "\\" + fileName_;
}

std::string TRegIniFile::ValueKeyName() const {
    if (CurrentKey())
        return CurrentPath();
    return !fileName_.empty() && fileName_.front() == '\\' ? fileName_.substr(1) : fileName_;
}

std::optional<RegKey> TRegIniFile::OpenValueKey() const {
    const Resolved resolved = Resolve(ValueKeyPath());
    // Without a current key, an empty file name would name the root itself.
    if (resolved.subPath.empty() && resolved.base.path.empty() && !CurrentKey())
        return std::nullopt;
    return OpenForUse(resolved);
}

std::string TRegIniFile::ReadText(const std::string& name, const std::string& defaultText) {
    const std::optional<RegKey> key = OpenValueKey();
    if (!key)
        return defaultText;
    KeySwap swap(*this, *key, ValueKeyName());
    if (!HasValue(name))
        return defaultText;
    return QueryText(name);
}

int TRegIniFile::ReadNumber(const std::string& name, int defaultNumber) {
    const std::optional<RegKey> key = OpenValueKey();
    if (!key)
        return defaultNumber;
    KeySwap swap(*this, *key, ValueKeyName());
    if (!HasValue(name))
        return defaultNumber;
    return ConvertStoredNumber(QueryText(name), defaultNumber);
}

bool TRegIniFile::ReadFlag(const std::string& name, bool defaultFlag) {
    return ReadNumber(name, defaultFlag ? 1 : 0) != 0;
}

void TRegIniFile::WriteText(const std::string& name, const std::string& text) {
    const std::string path = ValueKeyPath();
    // Without a current key, an empty file name would name the root: that is no settings key.
    const bool namesRoot = !CurrentKey() && path == "\\";
    if (namesRoot || !CreateKeyPath(path))
        throw ERegistryException("Failed to create key " + ValueKeyName());
    const std::optional<RegKey> key = OpenValueKey();
    if (!key)
        return;
    KeySwap swap(*this, *key, ValueKeyName());
    PutText(name, text);
}

void TRegIniFile::WriteNumber(const std::string& name, int number) {
    WriteText(name, std::to_string(number));
}

void TRegIniFile::WriteFlag(const std::string& name, bool flag) {
    WriteText(name, flag ? "1" : "0");
}

int ConvertStoredNumber(std::string_view text, int defaultNumber) {
    std::string s(text);
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X'))
        s.replace(0, 2, "$");
    std::size_t i = s.find_first_not_of(' ');
    if (i == std::string::npos)
        return defaultNumber;

    if (s[i] == '$') {
        if (++i == s.size())
            return defaultNumber;
        std::uint64_t value = 0;
        for (; i < s.size(); ++i) {
            const char c = s[i];
            const int digit = HexDigitValue(c);
            if (digit < 0)
                return defaultNumber;
            value = value * 16 + static_cast<std::uint64_t>(digit);
            if (value > 0xFFFFFFFFu)
                return defaultNumber;
        }
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    }

    bool negative = false;
    if (s[i] == '-' || s[i] == '+')
        negative = s[i++] == '-';
    if (i == s.size())
        return defaultNumber;
    std::int64_t value = 0;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (c < '0' || c > '9')
            return defaultNumber;
        value = value * 10 + (c - '0');
        if (value > 2147483648LL)
            return defaultNumber;
    }
    if (negative)
        value = -value;
    if (value > INT32_MAX || value < INT32_MIN)
        return defaultNumber;
    return static_cast<int>(value);
}

} // namespace nomilo
