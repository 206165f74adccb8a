// Byte streams with 64-bit sizes and positions. TCharStream, a growable in-memory buffer with
// separate read and write positions, is the one concrete stream; the registry layer uses it to
// carry raw value data.
#pragma once

#include "Common/General/TString.h"

#include <cstdint>

namespace OrvaneLib {

// One transfer of more bytes than this (1000 MiB) is reported (category 1, severity 2); when a
// handler resumes, the operation carries on.
constexpr int64_t kStreamTransferLimit = 1048576000;

// Seek modes.
constexpr int32_t kSeekRead = 0;
constexpr int32_t kSeekWrite = 1;
constexpr int32_t kSeekBoth = 2;

// The order of the virtual operations is fixed. Counts passed by reference are in/out: they
// carry the count asked for and come back with the count delivered.
class TStream {
public:
    TStream() = default;
    virtual ~TStream() = default;

    // Whether the stream can be read and written at all. An in-memory stream always can.
    virtual bool isOpen() const = 0;
    // Both forget the content: the size, both positions and position() become 0 and isEof false;
    // the storage stays for reuse. TCharStream makes them one and the same operation.
    virtual void reset() = 0;
    virtual void clear() = 0;
    // Whether a read asked for more bytes than remained. Writes, seeks that move the read position,
    // reset and clear turn it off again.
    virtual bool isEof() const = 0;
    // Whether the stream is in a usable state (no failed underlying device). An in-memory stream
    // always is.
    virtual bool isValid() const = 0;
    // Ensures room for count + 1 bytes.
    virtual void reserve(int64_t count);
    virtual bool seek(int64_t offset, int32_t mode) = 0;
    // The whole content in a new NUL-terminated block from the C runtime heap, which the caller
    // frees; null when there is nothing to hand over.
    virtual char* takeText(int64_t& length);
    // The whole content in a new TString that the caller deletes; null when the copy fails. The
    // text ends at the content's first NUL byte (a TString holds none of its own).
    virtual TString* readString();
    // Copies up to count bytes from the beginning and stores a NUL after them: the destination
    // needs count + 1 bytes. Positions are unchanged.
    virtual bool copyAll(void* destination, int64_t& count) = 0;
    // Appends to text the characters up to the next NUL, reading chunkSize bytes at a time, and
    // leaves the read position just past that NUL (when the data ends without one: one past the
    // data if the last chunk came short, else at its end). Like every read, it leaves the write
    // position alone.
    virtual bool readTerminated(TString& text, uint32_t chunkSize);
    virtual bool read(void* destination, int64_t& count) = 0;
    virtual bool write(const void* source, int64_t count) = 0;
    virtual bool writeChar(char c) = 0;
    // The text writers write the bytes of the text (numbers as printf formats them) without a
    // separator or terminator.
    virtual bool writeCString(const char* text) = 0;
    virtual bool writeString(const TString& text) = 0;
    virtual bool writeDouble(double value) = 0;  // "%8f"
    virtual bool writeFloat(float value) = 0;    // "%8f"
    virtual bool writeUInt64(uint64_t value) = 0;
    virtual bool writeInt64(int64_t value) = 0;
    virtual bool writeUInt32(uint32_t value) = 0;
    virtual bool writeInt32(int32_t value) = 0;
    virtual bool writeBool(bool value) = 0;  // "true" or "false"
    virtual int64_t size() const = 0;
    virtual bool setSize(int64_t count) = 0;
    virtual int64_t readPosition() const = 0;
    virtual int64_t writePosition() const = 0;
    // Where the most recent read, write or seek ended.
    virtual int64_t position() const { return lastPosition; }
    // 0: the read position, 1: the write position; -1 (reported) for anything else.
    virtual int64_t positionOf(int32_t which) const = 0;
    // Compares length bytes of this stream from ownOffset with the other's from otherOffset, as
    // unsigned bytes; a stream that runs out first is the smaller. -1, 0 or 1. Afterwards each
    // stream's read and write positions stand at its read position from before.
    virtual int compare(TStream& other, int64_t ownOffset, int64_t otherOffset, int64_t length);
    // The content from offset, with length lowered to what is there; null when it can not be
    // viewed in place.
    virtual char* view(int64_t offset, int64_t& length);
    virtual char* data();
    virtual int64_t remaining() const { return size() - readPosition(); }

protected:
    TStream(const TStream&) = default;
    TStream& operator=(const TStream&) = default;

    int64_t lastPosition = 0;
};

class TViewableStream : public TStream {};

// Writes grow the buffer by half its size, or to exactly what is needed when that is more; only
// takeText shrinks it. Positions may lie beyond the size: seeks do not check them, and the bytes
// between the old size and a write beyond it are left as the heap gave them.
class TCharStream : public TViewableStream {
public:
    TCharStream() = default;
    // Takes ownership of a block from the C runtime heap holding byteCount bytes.
    TCharStream(char* block, int64_t byteCount);
    ~TCharStream() override;
    TCharStream(const TCharStream&) = delete;
    TCharStream& operator=(const TCharStream&) = delete;

    bool isOpen() const override { return true; }
    void reset() override;
    void clear() override { reset(); }
    bool isEof() const override { return eof; }
    bool isValid() const override { return true; }
    void reserve(int64_t count) override;
    bool seek(int64_t offset, int32_t mode) override;
    // Hands the buffer itself to the caller and leaves the stream empty.
    char* takeText(int64_t& length) override;
    bool copyAll(void* destination, int64_t& count) override;
    bool read(void* destination, int64_t& count) override;
    // False, with the stream unchanged, when the buffer cannot grow.
    bool write(const void* source, int64_t count) override;
    bool writeChar(char c) override;
    bool writeCString(const char* text) override;
    bool writeString(const TString& text) override;
    bool writeDouble(double value) override;
    bool writeFloat(float value) override;
    bool writeUInt64(uint64_t value) override;
    bool writeInt64(int64_t value) override;
    bool writeUInt32(uint32_t value) override;
    bool writeInt32(int32_t value) override;
    bool writeBool(bool value) override;
    int64_t size() const override { return contentSize; }
    bool setSize(int64_t count) override;
    int64_t readPosition() const override { return readOffset; }
    int64_t writePosition() const override { return writeOffset; }
    int64_t positionOf(int32_t which) const override;
    char* view(int64_t offset, int64_t& length) override;
    char* data() override { return buffer; }

protected:
    // The fields carry these names because size() and the position operations take the plain ones.
    char* buffer = nullptr;
    int64_t bufferCapacity = 0;
    int64_t contentSize = 0;
    int64_t readOffset = 0;
    int64_t writeOffset = 0;
    bool eof = false;

private:
    bool append(const void* source, int64_t count);
    bool writeText(const TString& text) { return write(text.c_str(), text.getLength()); }
};

}  // namespace OrvaneLib
