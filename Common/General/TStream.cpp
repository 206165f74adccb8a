#include "Common/General/TStream.h"

#include "Common/General/Heap.h"
#include "Common/General/ScrambledText.h"
#include "Common/General/TException.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace OrvaneLib {

namespace {

constexpr auto kSourceFile = scramble("Common\\General\\TStream.cpp");
constexpr int64_t kCompareChunk = 102400;

struct TFreeBlock {
    void operator()(void* block) const { heapFree(block); }
};

void reportTooLarge(const char* file, int32_t line) {
    reportError(ORVANE_TEXT("Cannot read more than 1000mb at a time").c_str(),
                ORVANE_TEXT("R").c_str(), 1, 2, file, line);
}

// Reads up to chunk bytes; when both sides of a comparison are one stream, from the side's own
// running offset. A failed read delivers nothing.
int64_t readChunk(TStream& stream, bool shared, int64_t& offset, unsigned char* into,
                  int64_t chunk) {
    if (shared) {
        stream.seek(offset, kSeekBoth);
    }
    int64_t count = chunk;
    if (!stream.read(into, count)) {
        count = 0;
    }
    offset += count;
    return count;
}

}  // namespace

void TStream::reserve(int64_t) {}

char* TStream::takeText(int64_t& length) {
    length = size();
    if (length > kStreamTransferLimit) {
        reportTooLarge(kSourceFile.text().c_str(), __LINE__);
    }
    if (length <= 0) {
        return nullptr;
    }
    void* block = nullptr;
    if (length < INT64_MAX && heapSizeFits(static_cast<uint64_t>(length) + 1)) {
        block = heapTryAllocate(static_cast<size_t>(length) + 1);
    }
    if (block == nullptr) {
        TString message = ORVANE_TEXT("Cannot allocate ") +
                          TString(static_cast<long long>(length) + 1) +
                          ORVANE_TEXT(" bytes for the text of a stream");
        reportError(message.c_str(), ORVANE_TEXT("T").c_str(), 1, 1, kSourceFile.text().c_str(),
                    __LINE__);
        length = 0;
        return nullptr;
    }
    int64_t count = length;
    if (!copyAll(block, count)) {
        heapFree(block);
        length = INT64_MAX;
        return nullptr;
    }
    length = count;
    return static_cast<char*>(block);
}

TString* TStream::readString() {
    std::unique_ptr<TString> text(new TString());
    if (size() > kStreamTransferLimit) {
        reportTooLarge(kSourceFile.text().c_str(), __LINE__);
    }
    if (!text->readFrom(*this)) {
        return nullptr;
    }
    return text.release();
}

bool TStream::readTerminated(TString& text, uint32_t chunkSize) {
    uint64_t bufferSize = uint64_t{chunkSize} + 1;
    std::unique_ptr<char, TFreeBlock> chunk(
        heapSizeFits(bufferSize)
            ? static_cast<char*>(heapTryAllocate(static_cast<size_t>(bufferSize)))
            : nullptr);
    if (!chunk) {
        return false;
    }
    const int64_t start = readPosition();
    const uint32_t startLength = text.getLength();
    int64_t consumed = 0;
    int64_t delivered = 0;
    for (;;) {
        delivered = chunkSize;
        if (!read(chunk.get(), delivered)) {
            delivered = 0;
            break;
        }
        chunk.get()[delivered] = '\0';
        text += chunk.get();
        consumed += delivered;
        // A chunk size of 0 delivers nothing and would never end.
        bool wholeChunkAppended =
            delivered == chunkSize && strlen(chunk.get()) == static_cast<size_t>(delivered);
        if (delivered == 0 || !wholeChunkAppended) {
            break;
        }
    }
    int64_t appended = text.getLength() - startLength;
    if (delivered > 0 && consumed != appended + 1) {
        seek(start + appended + 1, kSeekRead);
    }
    return true;
}

int TStream::compare(TStream& other, int64_t ownOffset, int64_t otherOffset, int64_t length) {
    std::unique_ptr<unsigned char[]> own(new unsigned char[kCompareChunk]);
    std::unique_ptr<unsigned char[]> theirs(new unsigned char[kCompareChunk]);
    const bool same = &other == this;
    const int64_t ownSaved = readPosition();
    const int64_t otherSaved = other.readPosition();
    int64_t ownAt = ownOffset < 0 ? 0 : ownOffset;
    int64_t otherAt = otherOffset < 0 ? 0 : otherOffset;
    seek(ownAt, kSeekBoth);
    other.seek(otherAt, kSeekBoth);

    int result = 0;
    while (length > 0) {
        int64_t chunk = length < kCompareChunk ? length : kCompareChunk;
        int64_t theirCount = readChunk(other, same, otherAt, theirs.get(), chunk);
        int64_t ownCount = readChunk(*this, same, ownAt, own.get(), chunk);
        // Bytes first, then length, in every chunk alike: a stream that ends early is smaller only
        // when all the bytes both delivered are equal.
        int64_t common = ownCount < theirCount ? ownCount : theirCount;
        int order = common > 0 ? memcmp(own.get(), theirs.get(), static_cast<size_t>(common)) : 0;
        if (order == 0 && ownCount != theirCount) {
            order = ownCount > theirCount ? 1 : -1;
        }
        if (order != 0) {
            result = order < 0 ? -1 : 1;
            break;
        }
        if (ownCount == 0) {
            break;
        }
        length -= ownCount;
    }

    seek(ownSaved, kSeekBoth);
    if (!same) {
        other.seek(otherSaved, kSeekBoth);
    }
    return result;
}

char* TStream::view(int64_t, int64_t& length) {
    length = 0;
    return nullptr;
}

char* TStream::data() {
    return nullptr;
}

// A stream of 1000 MiB or more is reported here already, at the exact boundary.
bool TString::readFrom(TStream& stream) {
    int64_t total = stream.size();
    if (total >= kStreamTransferLimit) {
        reportError(ORVANE_TEXT("Cannot read more than 1000mb at a time").c_str(),
                    ORVANE_TEXT("R").c_str(), 1, 2, ORVANE_TEXT("Common\\General\\TString").c_str(),
                    2244);
    }
    if (total < 0) {
        total = 0;
    }
    if (total > int64_t{UINT32_MAX} - 2) {
        throw std::bad_alloc();  // a 32-bit capacity cannot hold the text and its terminator
    }
    // The block becomes exactly size + 1 bytes (size + 2 without one), and never shrinks.
    uint32_t needed = static_cast<uint32_t>(total) + 1;
    if (capacity < needed) {
        grow(needed - capacity);
    }
    int64_t count = total;
    if (!stream.copyAll(data, count)) {
        return false;
    }
    // The text holds no NUL of its own: it ends at the content's first one.
    const void* nul = memchr(data, '\0', static_cast<size_t>(count));
    length = nul != nullptr ? static_cast<uint32_t>(static_cast<const char*>(nul) - data)
                            : static_cast<uint32_t>(count);
    data[length] = '\0';
    checkInvariants();
    return true;
}

}  // namespace OrvaneLib
