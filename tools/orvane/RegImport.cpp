#include "tools/orvane/RegImport.h"

#include "tools/orvane/RegistryEdits.h"

#include <cctype>
#include <cstdlib>

namespace OrvaneHost {

namespace {

const char kRoot[] = "HKEY_CURRENT_USER\\";

struct TLine {
    int number;
    std::string text;
};

std::string upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

bool startsWithNoCase(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && upper(text.substr(0, prefix.size())) == upper(prefix);
}

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return std::string();
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// UTF-16LE after its byte order mark, or UTF-8 with or without one.
std::string decoded(const std::string& bytes) {
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
        std::u16string units;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                           static_cast<unsigned char>(bytes[i + 1]) << 8);
        }
        return toUtf8(units);
    }
    return bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? bytes.substr(3) : bytes;
}

// Physical lines joined where one ends in a backslash, each numbered by its first line.
std::vector<TLine> logicalLines(const std::string& text) {
    std::vector<TLine> lines;
    bool continued = false;
    int number = 0;
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end;
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (continued) {
            lines.back().text += trimmed(line);
        } else {
            lines.push_back({number, line});
        }
        std::string& last = lines.back().text;
        const size_t kept = last.find_last_not_of(" \t");
        continued = kept != std::string::npos && last[kept] == '\\' && last[0] != '[';
        if (continued) {
            last.erase(kept);
        }
    }
    return lines;
}

bool isHexDigit(char c) {
    return isxdigit(static_cast<unsigned char>(c)) != 0;
}

// Reads one logical line after another into the changes.
class TReader {
public:
    TReader(const TKeyFilter& accept, TRegImport& result) : accept_(accept), result_(result) {}

    bool read(const std::vector<TLine>& lines) {
        size_t index = 0;
        while (index < lines.size() && trimmed(lines[index].text).empty()) {
            ++index;
        }
        const std::string header = index < lines.size() ? trimmed(lines[index].text) : "";
        if (header != "Windows Registry Editor Version 5.00" && header != "REGEDIT4") {
            return fail(index < lines.size() ? lines[index].number : 1,
                        "not a Registry Editor file (no \"Windows Registry Editor Version 5.00\" "
                        "or \"REGEDIT4\" line)");
        }
        for (++index; index < lines.size(); ++index) {
            line_ = lines[index].number;
            const std::string text = trimmed(lines[index].text);
            if (text.empty() || text[0] == ';') {
                continue;
            }
            if (!(text[0] == '[' ? readKey(text) : readValue(text))) {
                return false;
            }
        }
        return true;
    }

private:
    bool fail(int line, const std::string& message) {
        result_.keys.clear();
        result_.errorLine = line;
        result_.error = message;
        return false;
    }
    bool fail(const std::string& message) { return fail(line_, message); }

    bool readKey(const std::string& text) {
        if (text.back() != ']') {
            return fail("a key line must end with \"]\"");
        }
        TKeyChange key;
        key.line = line_;
        std::string name = text.substr(1, text.size() - 2);
        if (!name.empty() && name[0] == '-') {
            key.remove = true;
            name.erase(0, 1);
        }
        if (!startsWithNoCase(name, kRoot)) {
            return fail("key \"" + name + "\" is not below HKEY_CURRENT_USER");
        }
        key.path = name.substr(sizeof kRoot - 1);
        while (!key.path.empty() && key.path.back() == '\\') {
            key.path.pop_back();
        }
        if (key.path.empty() || key.path.find("\\\\") != std::string::npos || !accept_(key.path)) {
            return fail("key \"" + name + "\" is not one of the game records");
        }
        result_.keys.push_back(std::move(key));
        return true;
    }

    // A quoted text from position on, with \\ and \" escaped; position ends after the quote.
    bool readQuoted(const std::string& text, size_t& position, std::string& unquoted) {
        for (++position; position < text.size() && text[position] != '"'; ++position) {
            if (text[position] == '\\') {
                ++position;
                if (position >= text.size() || (text[position] != '\\' && text[position] != '"')) {
                    return fail("a backslash in quotes must be followed by \\ or \"");
                }
            }
            unquoted += text[position];
        }
        if (position >= text.size()) {
            return fail("a quoted text has no closing quote");
        }
        ++position;
        return true;
    }

    bool readValue(const std::string& text) {
        if (result_.keys.empty()) {
            return fail("a value before the first key");
        }
        TKeyChange& key = result_.keys.back();
        if (key.remove) {
            return fail("a value in the section of a deleted key");
        }
        TValueChange change;
        size_t position = 1;
        if (text[0] == '"') {
            position = 0;
            if (!readQuoted(text, position, change.value.name)) {
                return false;
            }
        } else if (text[0] != '@') {
            return fail("a value line must start with @ or a quoted name");
        }
        const std::string rest = trimmed(text.substr(position));
        if (rest.empty() || rest[0] != '=') {
            return fail("\"=\" expected after the value's name");
        }
        if (!readData(trimmed(rest.substr(1)), change)) {
            return false;
        }
        key.values.push_back(std::move(change));
        return true;
    }

    bool readData(const std::string& data, TValueChange& change) {
        if (data == "-") {
            change.remove = true;
            return true;
        }
        if (!data.empty() && data[0] == '"') {
            size_t position = 0;
            std::string text;
            if (!readQuoted(data, position, text)) {
                return false;
            }
            if (!trimmed(data.substr(position)).empty()) {
                return fail("text after the closing quote");
            }
            change.value = textValue(change.value.name, text);
            return true;
        }
        if (startsWithNoCase(data, "dword:")) {
            return readNumber(data.substr(6), change.value);
        }
        if (startsWithNoCase(data, "hex:")) {
            change.value.type = REG_BINARY;
            return readBytes(data.substr(4), change.value.data);
        }
        if (startsWithNoCase(data, "hex(")) {
            return readTypedBytes(data.substr(4), change.value);
        }
        return fail("unknown value type in \"" + data.substr(0, data.find(':')) + "\"");
    }

    bool readNumber(const std::string& digits, TRawValue& value) {
        if (digits.empty() || digits.size() > 8 ||
            digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
            return fail("a dword must be 1 to 8 hexadecimal digits");
        }
        value =
            numberValue(value.name, static_cast<uint32_t>(strtoul(digits.c_str(), nullptr, 16)));
        return true;
    }

    bool readTypedBytes(const std::string& data, TRawValue& value) {
        const size_t close = data.find("):");
        const std::string type = data.substr(0, close);
        if (close == std::string::npos || type.empty() || type.size() > 8 ||
            type.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
            return fail("hex( must be followed by a hexadecimal type and \"):\"");
        }
        value.type = static_cast<DWORD>(strtoul(type.c_str(), nullptr, 16));
        if (value.type > REG_QWORD) {
            return fail("unknown value type " + type);
        }
        return readBytes(data.substr(close + 2), value.data);
    }

    // Comma-separated pairs of hexadecimal digits; none at all is an empty value.
    bool readBytes(const std::string& list, std::vector<BYTE>& bytes) {
        if (trimmed(list).empty()) {
            return true;
        }
        for (size_t start = 0; start <= list.size();) {
            size_t end = list.find(',', start);
            end = end == std::string::npos ? list.size() : end;
            const std::string byte = trimmed(list.substr(start, end - start));
            if (byte.empty() || byte.size() > 2 || !isHexDigit(byte[0]) ||
                !isHexDigit(byte.back())) {
                return fail("\"" + byte + "\" is not a byte in hexadecimal");
            }
            bytes.push_back(static_cast<BYTE>(strtoul(byte.c_str(), nullptr, 16)));
            start = end + 1;
        }
        return true;
    }

    const TKeyFilter& accept_;
    TRegImport& result_;
    int line_ = 1;
};

}  // namespace

bool isRecordKey(const std::string& keyPath) {
    const std::string client = "Software\\Orvane\\Client";
    const std::string entries =
        std::string(kUninstallKey) + kUninstallEntryPrefix;  // the prefix ends with a space
    if (upper(keyPath) == upper(client) || startsWithNoCase(keyPath, client + "\\")) {
        return true;
    }
    const std::string id = keyPath.size() > entries.size() ? keyPath.substr(entries.size()) : "";
    return startsWithNoCase(keyPath, entries) && !id.empty() && id[0] != '\\';
}

TRegImport readRegFile(const std::string& bytes, const TKeyFilter& accept) {
    TRegImport result;
    TReader(accept, result).read(logicalLines(decoded(bytes)));
    return result;
}

}  // namespace OrvaneHost
