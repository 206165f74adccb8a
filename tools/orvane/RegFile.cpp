#include "tools/orvane/RegFile.h"

#include <algorithm>
#include <cstdio>

namespace OrvaneHost {

namespace {

std::string quoted(const std::string& text) {
    std::string result = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') {
            result += '\\';
        }
        result += c;
    }
    return result + "\"";
}

std::string valueName(const std::string& name) {
    return name.empty() ? "@" : quoted(name);
}

bool hasControlCharacter(const std::string& text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

std::string littleEndianBytes(const std::u16string& units) {
    std::string bytes;
    for (char16_t unit : units) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

}  // namespace

TRegFile::TRegFile() {
    addLine("Windows Registry Editor Version 5.00");
}

void TRegFile::beginKey(const std::string& keyPath) {
    addSection("", keyPath);
}

void TRegFile::deleteKey(const std::string& keyPath) {
    addSection("-", keyPath);
}

void TRegFile::addSection(const char* mark, const std::string& keyPath) {
    std::string path = keyPath;
    if (!path.empty() && path.back() == '\\') {
        path.pop_back();
    }
    addLine("");
    addLine("[" + std::string(mark) + "HKEY_CURRENT_USER\\" + path + "]");
}

void TRegFile::addText(const std::string& name, const std::string& text) {
    if (!hasControlCharacter(text)) {
        addLine(valueName(name) + "=" + quoted(text));
        return;
    }
    std::string bytes = littleEndianBytes(toUtf16(text) + u'\0');
    addHex(name, REG_SZ, reinterpret_cast<const BYTE*>(bytes.data()), bytes.size());
}

void TRegFile::addNumber(const std::string& name, uint32_t number) {
    char digits[16];
    snprintf(digits, sizeof digits, "dword:%08x", static_cast<unsigned>(number));
    addLine(valueName(name) + "=" + digits);
}

void TRegFile::addRaw(const TRawValue& value) {
    if (value.type == REG_SZ) {
        addText(value.name, value.text());
    } else if (value.type == REG_DWORD && value.data.size() == 4) {
        addNumber(value.name, static_cast<uint32_t>(value.data[0]) | value.data[1] << 8 |
                                  value.data[2] << 16 | static_cast<uint32_t>(value.data[3]) << 24);
    } else {
        addHex(value.name, value.type, value.data.data(), value.data.size());
    }
}

void TRegFile::addHex(const std::string& name, DWORD type, const BYTE* data, size_t size) {
    char prefix[16];
    if (type == REG_BINARY) {
        snprintf(prefix, sizeof prefix, "hex:");
    } else {
        snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(type));
    }
    std::string line = valueName(name) + "=" + prefix;
    for (size_t i = 0; i < size; ++i) {
        char byte[4];
        snprintf(byte, sizeof byte, "%02x", data[i]);
        line += (i > 0 ? "," : "") + std::string(byte);
    }
    addLine(line);
}

std::string TRegFile::utf16() const {
    return littleEndianBytes(u"\uFEFF" + toUtf16(text_));
}

}  // namespace OrvaneHost
