#pragma once

#include "settings/TRegistry.h"

#include <string>
#include <string_view>

namespace nomilo {

// A settings file over one key (its "file name", below HKEY_CURRENT_USER): texts, numbers and
// flags stored as REG_SZ values of that key.
//
// Each read or write opens its own handle to the key for the one value (all access, falling
// back to read-only), makes it current for the operation and afterwards restores the key
// that was current before, also when the operation raises. The key addressed is the current
// key, or, when none could be opened, the file name's key itself.
class TRegIniFile : public TRegistry {
public:
    // Creates the key path when missing (or opens it; a store that cannot be written is still
    // read). Failures are silent: the reads then give their defaults.
    explicit TRegIniFile(const std::string& fileName);
    TRegIniFile(const std::string& fileName, RegistryStore& store);

    const std::string& FileName() const { return fileName_; }

    // The value's text (`QueryText`), or `defaultText` when the key cannot be opened or the
    // value does not exist.
    std::string ReadText(const std::string& name, const std::string& defaultText);
    // The value's text converted by ConvertStoredNumber, or the default.
    int ReadNumber(const std::string& name, int defaultNumber);
    // ReadNumber(name, 1 or 0) != 0.
    bool ReadFlag(const std::string& name, bool defaultFlag);

    // Makes sure the key exists (raises "Failed to create key %s" when it cannot be created),
    // opens it (when it cannot be opened nothing is written and nothing is reported) and
    // stores `text` by `PutText`.
    void WriteText(const std::string& name, const std::string& text);
    // WriteText of the number in decimal ("-4", "512").
    void WriteNumber(const std::string& name, int number);
    // WriteText of "1" or "0".
    void WriteFlag(const std::string& name, bool flag);

private:
    // The path that names the key of the values: the current key itself, or the file name
    // as an absolute path when no key is current.
    std::string ValueKeyPath() const;
    // The key's path for messages.
    std::string ValueKeyName() const;
    // Opens the values' key for one value; std::nullopt when it cannot be opened.
    std::optional<RegKey> OpenValueKey() const;

    std::string fileName_;
};

// A stored number: "0x"/"0X" at the start of a text longer than two characters stands for
// "$"; leading spaces (code 32 only) are skipped; then either an optional "-" or "+" and
// decimal digits in the signed 32-bit range, or "$" and hexadecimal digits of either case that
// fit in 32 bits, taken as a two's-complement pattern ("$FFFFFFFF" is -1). The digits run to
// the end. Anything else gives `defaultNumber`.
int ConvertStoredNumber(std::string_view text, int defaultNumber);

} // namespace nomilo
