// A registration file in the Registry Editor 5.00 format, as "reg import" reads it: the header,
// then one section per key of HKEY_CURRENT_USER with its values, CRLF line ends.
#pragma once

#include "tools/orvane/HostRegistry.h"

#include <cstdint>
#include <string>

namespace OrvaneHost {

class TRegFile {
public:
    TRegFile();

    // Starts the section of a key; the path is relative to HKEY_CURRENT_USER.
    void beginKey(const std::string& keyPath);
    // A section that deletes the key and everything below it when the file is imported.
    void deleteKey(const std::string& keyPath);
    // A REG_SZ value; the name "" is the key's default value. Text that a quoted string can not
    // carry (line breaks, other control characters) is written as the hexadecimal of its UTF-16.
    void addText(const std::string& name, const std::string& text);
    void addNumber(const std::string& name, uint32_t number);
    // A value as stored: text and numbers as above, any other type as hexadecimal bytes.
    void addRaw(const TRawValue& value);

    // UTF-8, for a terminal or a pipe.
    const std::string& utf8() const { return text_; }
    // UTF-16LE with its byte order mark, as Registry Editor writes files.
    std::string utf16() const;

private:
    void addSection(const char* mark, const std::string& keyPath);
    void addHex(const std::string& name, DWORD type, const BYTE* data, size_t size);
    void addLine(const std::string& line) { text_ += line + "\r\n"; }

    std::string text_;
};

}  // namespace OrvaneHost
