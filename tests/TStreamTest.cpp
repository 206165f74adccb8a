#include "Common/General/TStream.h"

#include "support/AllocationCounter.h"
#include "support/RaisedReports.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using OrvaneLib::kSeekBoth;
using OrvaneLib::kSeekRead;
using OrvaneLib::kSeekWrite;
using OrvaneLib::kStreamTransferLimit;
using OrvaneLib::TString;
using OrvaneTest::FailAllocation;

namespace {

// Shows the buffer's capacity, and can claim a size without holding the bytes, to reach the
// limits without a gigabyte.
class TTestStream : public OrvaneLib::TCharStream {
public:
    TTestStream() = default;
    explicit TTestStream(const std::string& bytes) {
        write(bytes.data(), static_cast<int64_t>(bytes.size()));
    }

    int64_t capacityBytes() const { return bufferCapacity; }
    void claimSize(int64_t size) { contentSize = size; }
    std::string content() { return data() != nullptr ? std::string(data(), size()) : ""; }
    int64_t readSome(int64_t count) {
        std::vector<char> sink(static_cast<size_t>(count) + 1);
        read(sink.data(), count);
        return count;
    }
};

using TTakenText = std::unique_ptr<char, decltype(&free)>;

TEST(TStreamWrite, TextWritersAppendTheirTextWithoutTerminator) {
    const std::vector<std::pair<std::function<bool(TTestStream&)>, std::string>> cases{
        {[](TTestStream& s) { return s.writeBool(true); }, "true"},
        {[](TTestStream& s) { return s.writeBool(false); }, "false"},
        {[](TTestStream& s) { return s.writeInt32(-5); }, "-5"},
        {[](TTestStream& s) { return s.writeInt64(INT64_MIN); }, "-9223372036854775808"},
        {[](TTestStream& s) { return s.writeUInt64(UINT64_MAX); }, "18446744073709551615"},
        {[](TTestStream& s) { return s.writeDouble(1.5); }, "1.500000"},
        {[](TTestStream& s) { return s.writeDouble(1e300); }, std::to_string(1e300)},
        {[](TTestStream& s) { return s.writeCString("a b"); }, "a b"},
        {[](TTestStream& s) { return s.writeCString(nullptr); }, ""},
        {[](TTestStream& s) { return s.writeString(TString("xy")); }, "xy"},
        {[](TTestStream& s) { return s.writeChar('\0'); }, std::string(1, '\0')}};
    for (const auto& [write, expected] : cases) {
        SCOPED_TRACE(expected);
        TTestStream stream("<");
        EXPECT_TRUE(write(stream));
        EXPECT_EQ(stream.content(), "<" + expected);
        EXPECT_EQ(stream.writePosition(), stream.size());
    }
}

TEST(TStreamWrite, GrowsByHalfOrToWhatIsNeededAndFailsCleanly) {
    TTestStream stream;
    std::vector<int64_t> capacities;
    for (int i = 0; i < 7; ++i) {
        stream.writeChar('x');
        if (capacities.empty() || capacities.back() != stream.capacityBytes()) {
            capacities.push_back(stream.capacityBytes());
        }
    }
    EXPECT_EQ(capacities, (std::vector<int64_t>{1, 2, 3, 4, 6, 9}));
    stream.write("0123456789", 10);
    EXPECT_EQ(stream.capacityBytes(), 17);
    {
        FailAllocation fail(0);
        EXPECT_FALSE(stream.write("!", 1));
    }
    EXPECT_FALSE(stream.write("!", -1));
    EXPECT_EQ(stream.content(), "xxxxxxx0123456789");
    EXPECT_EQ(stream.capacityBytes(), 17);
}

struct Step {
    const char* name;
    std::function<void(TTestStream&)> step;
    int64_t read, write, position, size;
    bool eof;
};

void readPastEnd(TTestStream& s) {
    EXPECT_EQ(s.readSome(10), 2);
}

TEST(TStreamPositions, FollowEveryKindOfAccess) {
    OrvaneTest::RaisedReports reports;
    const Step steps[] = {
        {"read", [](TTestStream& s) { EXPECT_EQ(s.readSome(1), 1); }, 5, 6, 5, 6, false},
        {"read past end", readPastEnd, 6, 6, 6, 6, true},
        {"write after eof", [](TTestStream& s) { readPastEnd(s), s.write("gh", 2); }, 6, 8, 8, 8,
         false},
        {"seek read after eof", [](TTestStream& s) { readPastEnd(s), s.seek(1, kSeekRead); }, 1, 6,
         1, 6, false},
        {"seek write after eof", [](TTestStream& s) { readPastEnd(s), s.seek(2, kSeekWrite); }, 6,
         2, 2, 6, true},
        {"seek both", [](TTestStream& s) { s.seek(3, kSeekBoth); }, 3, 3, 3, 6, false},
        {"seek negative", [](TTestStream& s) { s.seek(-5, kSeekBoth); }, 0, 0, 0, 6, false},
        {"seek mode 7", [](TTestStream& s) { EXPECT_TRUE(s.seek(5, 7)); }, 4, 6, 5, 6, false},
        {"read beyond end",
         [](TTestStream& s) {
             s.seek(100, kSeekRead);
             EXPECT_EQ(s.readSome(1), 0);
         },
         100, 6, 100, 6, true},
        {"write inside", [](TTestStream& s) { s.seek(1, kSeekWrite), s.write("XY", 2); }, 4, 3, 3,
         6, false},
        {"write beyond size", [](TTestStream& s) { s.seek(8, kSeekWrite), s.writeChar('z'); }, 4, 9,
         9, 9, false},
        {"reset keeps the block",
         [](TTestStream& s) {
             readPastEnd(s);
             s.reset();
             EXPECT_EQ(s.capacityBytes(), 6);
         },
         0, 0, 0, 0, false},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        TTestStream stream("abcdef");
        stream.readSome(4);
        s.step(stream);
        EXPECT_EQ(stream.positionOf(0), s.read);
        EXPECT_EQ(stream.positionOf(1), s.write);
        EXPECT_EQ(stream.position(), s.position);
        EXPECT_EQ(stream.size(), s.size);
        EXPECT_EQ(stream.isEof(), s.eof);
        EXPECT_EQ(stream.remaining(), s.size - s.read);
    }
    EXPECT_EQ(reports.records().size(), 1u);  // the unknown seek mode
}

class TStreamReports : public testing::Test {
protected:
    void expectReport(size_t index, int32_t severity, const char* message = nullptr) {
        ASSERT_GT(reports.records().size(), index);
        const OrvaneLib::TException& raised = *reports.records()[index];
        EXPECT_EQ(raised.category, 1);
        EXPECT_EQ(raised.severity, severity);
        if (message != nullptr) {
            EXPECT_STREQ(raised.message, message);
        }
    }
    // The allocation that follows the report number `after` fails.
    void failAfterReport(size_t after) {
        reports.afterRaise = [this, after] {
            if (reports.records().size() == after) {
                fail.emplace(0);
            }
        };
    }

    OrvaneTest::RaisedReports reports;
    std::optional<FailAllocation> fail;
};

TEST_F(TStreamReports, SelectorsAndReserve) {
    TTestStream stream;
    EXPECT_EQ(stream.positionOf(2), -1);
    EXPECT_TRUE(stream.setSize(10));
    EXPECT_EQ(stream.capacityBytes(), 11);
    EXPECT_FALSE(stream.setSize(-1));
    {
        FailAllocation failure(0);
        EXPECT_FALSE(stream.setSize(20));
    }
    EXPECT_EQ(stream.capacityBytes(), 11);
    EXPECT_EQ(stream.size(), 10);
    TTestStream empty;
    FailAllocation failure(0);
    empty.reserve(0);  // not worth a report
    ASSERT_EQ(reports.records().size(), 2u);
    expectReport(0, 1);
    expectReport(1, 1);
    EXPECT_NE(std::string(reports.records()[1]->message).find(" 11 to 21 "), std::string::npos);
}

TEST_F(TStreamReports, OversizedTransfersAreReportedAndCarryOn) {
    TTestStream stream("abc");
    stream.readSome(1);
    char copy[4];
    int64_t count = kStreamTransferLimit + 1;
    EXPECT_TRUE(stream.copyAll(copy, count));  // from the beginning, and positions stay
    EXPECT_EQ(count, 3);
    EXPECT_STREQ(copy, "abc");
    EXPECT_EQ(stream.position() + stream.readPosition(), 2);
    failAfterReport(2);
    EXPECT_FALSE(stream.write("x", kStreamTransferLimit + 1));  // its growth then fails
    EXPECT_EQ(stream.content(), "abc");
    expectReport(0, 2);
    expectReport(1, 2);
}

#ifndef _WIN32
TEST(TStreamUnresumedReport, OversizedReadUnwindsBeforeCopying) {
    OrvaneTest::RaisedReports reports(false);
    TTestStream stream("abc");
    stream.claimSize(kStreamTransferLimit + 1);
    char sink[4];
    int64_t count = kStreamTransferLimit + 1;
    EXPECT_THROW(stream.read(sink, count), PalStructuredException);
    ASSERT_EQ(reports.records().size(), 1u);
    EXPECT_EQ(reports.records()[0]->severity, 2);
    stream.claimSize(3);
}
#endif

TEST(TStreamTakeText, HandsOverTheBlockAndEmptiesTheStream) {
    TTestStream stream("abc");
    int64_t length = -1;
    TTakenText text(stream.takeText(length), &free);
    EXPECT_EQ(length, 3);
    EXPECT_STREQ(text.get(), "abc");
    EXPECT_EQ(stream.data(), nullptr);
    EXPECT_EQ(stream.capacityBytes() + stream.size() + stream.writePosition(), 0);

    stream.reserve(3);  // exactly the text and its NUL: the block goes as it is
    stream.write("xyz", 3);
    const char* block = stream.data();
    EXPECT_EQ(TTakenText(stream.takeText(length), &free).get(), block);
    EXPECT_STREQ(TTakenText(stream.takeText(length), &free).get(), "");

    TTestStream copied("abc");
    text.reset(copied.TStream::takeText(length));
    EXPECT_STREQ(text.get(), "abc");
    EXPECT_EQ(copied.content(), "abc");
    EXPECT_EQ(TTestStream().TStream::takeText(length), nullptr);
    EXPECT_EQ(length, 0);
}

TEST_F(TStreamReports, FailedTakesLeaveTheStreamAsItWas) {
    TTestStream stream("abcd");  // capacity 4: the text needs a fifth byte
    int64_t length = -1;
    {
        FailAllocation failure(0);
        EXPECT_EQ(stream.takeText(length), nullptr);
    }
    EXPECT_EQ(length, 0);
    stream.claimSize(kStreamTransferLimit + 1);
    failAfterReport(2);
    EXPECT_EQ(stream.takeText(length), nullptr);
    failAfterReport(4);
    EXPECT_EQ(stream.TStream::takeText(length), nullptr);
    fail.reset();
    stream.claimSize(4);
    EXPECT_EQ(stream.content(), "abcd");
    EXPECT_EQ(length, 0);
    ASSERT_EQ(reports.records().size(), 5u);
    for (auto [index, severity] :
         {std::pair{0, 1}, std::pair{1, 2}, std::pair{2, 1}, std::pair{4, 1}}) {
        expectReport(index, severity);
    }
    expectReport(3, 2, "Cannot read more than 1000mb at a time\n");
}

TEST(TStreamReadString, ReadsTheWholeContentWithoutMoving) {
    TTestStream stream("hello");
    stream.readSome(2);
    std::unique_ptr<TString> text(stream.readString());
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text->c_str(), "hello");
    EXPECT_EQ(text->getCapacity(), 7u);
    EXPECT_EQ(stream.readPosition(), 2);
    TString longer("a much longer text"), shorter("ab");
    EXPECT_TRUE(longer.readFrom(stream) && shorter.readFrom(stream));
    EXPECT_STREQ(longer.c_str(), "hello");
    EXPECT_EQ(longer.getCapacity(), 19u);  // never shrunk
    EXPECT_EQ(shorter.getCapacity(), 6u);

    char* block = static_cast<char*>(malloc(3));
    memcpy(block, "xyz", 3);
    OrvaneLib::TCharStream adopted(block, 3);  // frees the block
    std::string bytes;
    for (char c = 0; adopted.readPosition() < adopted.size(); bytes += c) {
        int64_t count = 1;
        ASSERT_TRUE(adopted.read(&c, count));
    }
    EXPECT_EQ(bytes, "xyz");
}

TEST_F(TStreamReports, ReadStringReportsFromTheExactLimit) {
    TTestStream stream("abc");
    stream.claimSize(kStreamTransferLimit);
    failAfterReport(1);
    EXPECT_THROW(stream.readString(), std::bad_alloc);
    stream.claimSize(kStreamTransferLimit + 1);
    failAfterReport(3);
    EXPECT_THROW(stream.readString(), std::bad_alloc);
    fail.reset();
    stream.claimSize(3);
    ASSERT_EQ(reports.records().size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        expectReport(i, 2, "Cannot read more than 1000mb at a time\n");
        EXPECT_EQ(reports.records()[i]->line == 2244, i != 1);
    }
    EXPECT_STREQ(reports.records()[0]->file, "Common\\General\\TString");
}

TEST(TStreamReadTerminated, StopsJustPastTheTerminator) {
    const std::string longText = std::string(300, 'a') + '\0' + "zz";
    struct Case {
        std::string content;
        int64_t start;
        uint32_t chunk;
        std::string expected;
        int64_t readPosition;
        bool eof;
    } cases[] = {{std::string("ab\0cd", 5), 0, 2, "ab", 3, false},
                 {std::string("ab\0cd", 5), 0, 1, "ab", 3, false},
                 {std::string("abc\0", 4), 0, 3, "abc", 4, true},
                 {"abc", 0, 10, "abc", 4, false},
                 {"abcd", 0, 2, "abcd", 4, true},
                 {std::string("x\0ab\0", 5), 2, 8, "ab", 5, true},
                 {std::string("\0x", 2), 0, 4, "", 1, false},
                 {"ab", 0, 0, "", 0, false},
                 {longText, 0, 7, std::string(300, 'a'), 301, false},
                 {longText, 0, 8, std::string(300, 'a'), 301, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.content.substr(0, 8) + " chunk " + std::to_string(c.chunk));
        TTestStream stream(c.content);
        stream.seek(c.start, kSeekRead);
        TString text("pre:");
        EXPECT_TRUE(stream.readTerminated(text, c.chunk));
        EXPECT_EQ(std::string(text.c_str()), "pre:" + c.expected);
        EXPECT_EQ(stream.readPosition(), c.readPosition);
        EXPECT_EQ(stream.isEof(), c.eof);
    }
}

TEST(TStreamCompare, OrdersUnsignedBytesAndRestoresPositions) {
    struct Case {
        std::string own, other;
        int64_t ownOffset, otherOffset, length;
        int expected;
    } cases[] = {
        {"abc", "abd", 0, 0, 3, -1},  {"abd", "abc", 0, 0, 3, 1},  {"abc", "ab", 0, 0, 3, 1},
        {"ab", "abc", 0, 0, 3, -1},   {"abc", "abd", 0, 0, 0, 0},  {"abc", "abd", 0, 0, 2, 0},
        {"abc", "abc", 0, 0, 50, 0},  {"xabc", "abc", 1, 0, 3, 0}, {"abc", "abc", -4, -1, 3, 0},
        {"\x80", "\x7f", 0, 0, 1, 1}, {"abc", "abd", 0, 0, -1, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.own + " " + c.other + " " + std::to_string(c.length));
        TTestStream own(c.own), other(c.other);
        own.readSome(1);
        EXPECT_EQ(own.compare(other, c.ownOffset, c.otherOffset, c.length), c.expected);
        EXPECT_EQ(own.readPosition() + own.writePosition(), 2);
        EXPECT_EQ(other.readPosition() + other.writePosition(), 0);
        EXPECT_FALSE(own.isEof());
    }
    TTestStream itself("abcabd");
    itself.readSome(2);
    EXPECT_EQ(itself.compare(itself, 0, 3, 3), -1);
    EXPECT_EQ(itself.compare(itself, 0, 3, 2), 0);
    EXPECT_EQ(itself.compare(itself, 3, 0, 3), 1);
    EXPECT_EQ(itself.readPosition() + itself.writePosition(), 4);
}

TEST(TStreamCompare, FindsTheDifferenceAcrossChunkBorders) {
    const std::string bytes(250000, 'k');
    TTestStream original(bytes), longer(bytes + 'k');
    EXPECT_EQ(original.compare(longer, 0, 0, 300000), -1);
    for (int at : {0, 102399, 102400, 204799, 204800, 249999}) {
        SCOPED_TRACE(at);
        std::string changedBytes = bytes;
        changedBytes[at] = 'j';
        TTestStream changed(changedBytes);
        EXPECT_EQ(changed.compare(original, 0, 0, 250000), -1);
        EXPECT_EQ(original.compare(changed, 0, 0, 300000), 1);
        EXPECT_EQ(changed.compare(original, 0, 0, at), 0);
    }
}

TEST(TStreamView, PointsIntoTheBufferWithinTheSize) {
    TTestStream stream("abcde");
    int64_t length = 10;
    EXPECT_EQ(stream.view(2, length), stream.data() + 2);
    EXPECT_EQ(length, 3);
    EXPECT_EQ(stream.view(5, length), stream.data() + 5);
    EXPECT_EQ(length, 0);
    for (int64_t offset : {6, -1}) {
        EXPECT_EQ(stream.view(offset, length), nullptr);
    }
    length = 4;
    EXPECT_EQ(stream.TStream::view(0, length), nullptr);
    EXPECT_EQ(length, 0);
}

}  // namespace
