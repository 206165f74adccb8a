#include "Common/General/TStream.h"

#include "Common/General/Heap.h"
#include "Common/General/ScrambledText.h"
#include "Common/General/TException.h"

#include <cstdlib>
#include <cstring>

namespace OrvaneLib {

namespace {

constexpr auto kSourceFile = scramble("Common\\General\\TCharStream.cpp");

void reportStream(const TString& message, int32_t severity, int32_t line) {
    reportError(message.c_str(), ORVANE_TEXT("C").c_str(), 1, severity, kSourceFile.text().c_str(),
                line);
}

void reportOversized(int64_t count, int32_t line) {
    reportStream(ORVANE_TEXT("Stream transfer larger than 1000 MiB: ") +
                     TString(static_cast<long long>(count)) + ORVANE_TEXT(" bytes"),
                 2, line);
}

// The block resized to exactly size bytes (allocated when there is none); null when the heap
// cannot give it or the size does not fit the platform's allocation size.
char* resizeBlock(char* block, uint64_t size) {
    if (size == 0 || !heapSizeFits(size)) {
        return nullptr;
    }
    return static_cast<char*>(heapTryReallocate(block, static_cast<size_t>(size)));
}

}  // namespace

TCharStream::TCharStream(char* block, int64_t byteCount)
    : buffer(block), bufferCapacity(byteCount < 0 ? 0 : byteCount), contentSize(bufferCapacity) {}

TCharStream::~TCharStream() {
    heapFree(buffer);
}

void TCharStream::reset() {
    contentSize = 0;
    readOffset = 0;
    writeOffset = 0;
    lastPosition = 0;
    eof = false;
}

void TCharStream::reserve(int64_t count) {
    if (count < bufferCapacity) {
        return;
    }
    uint64_t wanted = static_cast<uint64_t>(count) + 1;
    char* grown = count < INT64_MAX ? resizeBlock(buffer, wanted) : nullptr;
    if (grown != nullptr) {
        buffer = grown;
        bufferCapacity = count + 1;
        return;
    }
    if (count != 0) {
        reportStream(ORVANE_TEXT("Cannot grow a stream from ") +
                         TString(static_cast<long long>(bufferCapacity)) + ORVANE_TEXT(" to ") +
                         TString(static_cast<unsigned long long>(wanted)) + ORVANE_TEXT(" bytes"),
                     1, __LINE__);
    }
}

bool TCharStream::seek(int64_t offset, int32_t mode) {
    if (offset < 0) {
        offset = 0;
    }
    switch (mode) {
        case kSeekRead:
            readOffset = offset;
            eof = false;
            break;
        case kSeekWrite:
            writeOffset = offset;
            break;
        case kSeekBoth:
            readOffset = offset;
            writeOffset = offset;
            eof = false;
            break;
        default:
            reportStream(ORVANE_TEXT("Unknown stream seek mode ") + TString(static_cast<int>(mode)),
                         1, __LINE__);
    }
    lastPosition = offset;
    return true;
}

char* TCharStream::takeText(int64_t& length) {
    if (contentSize > kStreamTransferLimit) {
        reportOversized(contentSize, __LINE__);
    }
    length = contentSize;
    uint64_t exact = static_cast<uint64_t>(contentSize) + 1;
    if (static_cast<uint64_t>(bufferCapacity) != exact) {
        char* resized = resizeBlock(buffer, exact);
        if (resized == nullptr) {
            reportStream(ORVANE_TEXT("Cannot resize a stream's text to ") +
                             TString(static_cast<unsigned long long>(exact)) +
                             ORVANE_TEXT(" bytes"),
                         1, __LINE__);
            length = 0;
            return nullptr;
        }
        buffer = resized;
        bufferCapacity = static_cast<int64_t>(exact);
    }
    buffer[contentSize] = '\0';
    char* text = buffer;
    buffer = nullptr;
    bufferCapacity = 0;
    TCharStream::reset();
    return text;
}

bool TCharStream::copyAll(void* destination, int64_t& count) {
    if (count < 0) {
        return false;
    }
    if (count > kStreamTransferLimit) {
        reportOversized(count, __LINE__);
    }
    if (count > contentSize) {
        count = contentSize;
    }
    if (count > 0) {
        memcpy(destination, buffer, static_cast<size_t>(count));
    }
    static_cast<char*>(destination)[count] = '\0';
    return true;
}

bool TCharStream::read(void* destination, int64_t& count) {
    if (count < 0) {
        return false;
    }
    int64_t available = contentSize - readOffset;
    if (count > available) {
        eof = true;
        count = available < 0 ? 0 : available;
    }
    if (count > kStreamTransferLimit) {
        reportOversized(count, __LINE__);
    }
    if (count > 0) {
        memcpy(destination, buffer + readOffset, static_cast<size_t>(count));
    }
    readOffset += count;
    lastPosition = readOffset;
    return true;
}

bool TCharStream::write(const void* source, int64_t count) {
    if (count < 0) {
        return false;
    }
    eof = false;
    if (count > kStreamTransferLimit) {
        reportOversized(count, __LINE__);
    }
    return append(source, count);
}

bool TCharStream::writeChar(char c) {
    eof = false;
    return append(&c, 1);
}

bool TCharStream::append(const void* source, int64_t count) {
    if (count > INT64_MAX - writeOffset) {
        return false;
    }
    int64_t needed = writeOffset + count;
    if (needed > bufferCapacity) {
        int64_t half = bufferCapacity / 2;
        int64_t larger = bufferCapacity <= INT64_MAX - half ? bufferCapacity + half : needed;
        int64_t newCapacity = larger > needed && heapSizeFits(larger) ? larger : needed;
        char* grown = resizeBlock(buffer, static_cast<uint64_t>(newCapacity));
        if (grown == nullptr) {
            return false;
        }
        buffer = grown;
        bufferCapacity = newCapacity;
    }
    if (count > 0) {
        memcpy(buffer + writeOffset, source, static_cast<size_t>(count));
    }
    writeOffset = needed;
    if (writeOffset > contentSize) {
        contentSize = writeOffset;
    }
    lastPosition = writeOffset;
    return true;
}

bool TCharStream::writeCString(const char* text) {
    return write(text, text != nullptr ? static_cast<int64_t>(strlen(text)) : 0);
}

bool TCharStream::writeString(const TString& text) {
    return writeText(text);
}

bool TCharStream::writeDouble(double value) {
    return writeText(TString(value));
}

bool TCharStream::writeFloat(float value) {
    return writeText(TString(value));
}

bool TCharStream::writeUInt64(uint64_t value) {
    return writeText(TString(static_cast<unsigned long long>(value)));
}

bool TCharStream::writeInt64(int64_t value) {
    return writeText(TString(static_cast<long long>(value)));
}

bool TCharStream::writeUInt32(uint32_t value) {
    return writeText(TString(static_cast<unsigned int>(value)));
}

bool TCharStream::writeInt32(int32_t value) {
    return writeText(TString(static_cast<int>(value)));
}

bool TCharStream::writeBool(bool value) {
    return value ? write("true", 4) : write("false", 5);
}

bool TCharStream::setSize(int64_t count) {
    if (count < 0) {
        return false;
    }
    reserve(count);
    if (count >= bufferCapacity) {
        return false;
    }
    contentSize = count;
    return true;
}

int64_t TCharStream::positionOf(int32_t which) const {
    if (which == 0) {
        return readOffset;
    }
    if (which == 1) {
        return writeOffset;
    }
    reportStream(
        ORVANE_TEXT("Unknown stream position selector ") + TString(static_cast<int>(which)), 1,
        __LINE__);
    return -1;
}

char* TCharStream::view(int64_t offset, int64_t& length) {
    if (offset < 0 || offset > contentSize) {
        length = 0;
        return nullptr;
    }
    if (length > contentSize - offset) {
        length = contentSize - offset;
    }
    if (length < 0) {
        length = 0;
    }
    return buffer + offset;
}

}  // namespace OrvaneLib
