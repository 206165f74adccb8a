#include "Common/General/TStream.h"

#include "support/AllocationCounter.h"
#include "support/RaisedReports.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace OrvaneLib {
namespace {

using namespace std::string_literals;

// Read and write positions, where the last access ended, size and eof.
using TState = std::tuple<int64_t, int64_t, int64_t, int64_t, bool>;
using TTakenText = std::unique_ptr<char, decltype(&free)>;

// Shows the buffer's capacity, and can claim a size without holding the bytes, to reach the
// limits without a gigabyte.
class TTestStream : public TCharStream {
public:
    explicit TTestStream(const std::string& bytes = "") {
        write(bytes.data(), static_cast<int64_t>(bytes.size()));
    }

    int64_t capacityBytes() const { return bufferCapacity; }
    void claimSize(int64_t size) { contentSize = size; }
    std::string content() { return data() != nullptr ? std::string(data(), size()) : ""; }
    TState state() const { return {readOffset, writeOffset, position(), contentSize, eof}; }
    // Reads up to 16 bytes and gives the count delivered.
    int64_t readSome(int64_t count) {
        char sink[16];
        return read(sink, count) ? count : -1;
    }
};

// Keeps the reports raised meanwhile.
class TCharStreams : public testing::Test {
protected:
    std::vector<int32_t> severities() const {
        std::vector<int32_t> out;
        for (const auto& raised : reports.records()) {
            out.push_back(raised->severity);
        }
        return out;
    }

    const std::string tooLarge = "Cannot read more than 1000mb at a time\n";
    OrvaneTest::RaisedReports reports;
};

TEST_F(TCharStreams, WritesGrowTheBlockByHalfOrToWhatIsNeeded) {
    TTestStream stream;
    std::vector<int64_t> capacities;
    for (int i = 0; i < 7; ++i) {
        stream.writeChar('x');
        capacities.push_back(stream.capacityBytes());
    }
    EXPECT_EQ(capacities, (std::vector<int64_t>{1, 2, 3, 4, 6, 6, 9}));
    EXPECT_TRUE(stream.writeBool(true) && stream.writeInt32(-5) && stream.writeCString(nullptr) &&
                stream.writeString(TString("|")) && stream.writeDouble(1e300));
    OrvaneTest::failAllocationAfter(0);
    EXPECT_FALSE(stream.write("!", 1));
    EXPECT_FALSE(stream.write("!", -1));
    EXPECT_EQ(stream.content(), "xxxxxxxtrue-5|" + std::to_string(1e300));
    EXPECT_EQ(stream.capacityBytes(), stream.size());
}

TEST_F(TCharStreams, PositionsFollowEveryKindOfAccess) {
    TTestStream s("abcdef");
    EXPECT_EQ(s.readSome(4) + s.readSome(10), 6);
    EXPECT_EQ(s.state(), TState(6, 6, 6, 6, true));
    EXPECT_EQ((s.seek(2, kSeekWrite), s.state()), TState(6, 2, 2, 6, true));
    EXPECT_EQ((s.write("XY", 2), s.state()), TState(6, 4, 4, 6, false));
    EXPECT_EQ((s.seek(100, kSeekRead), s.readSome(1)), 0);
    EXPECT_EQ(s.state(), TState(100, 4, 100, 6, true));
    EXPECT_EQ((s.seek(1, kSeekRead), s.state()), TState(1, 4, 1, 6, false));
    EXPECT_EQ((s.seek(5, 7), s.state()), TState(1, 4, 5, 6, false));
    EXPECT_EQ(s.positionOf(2), -1);
    EXPECT_EQ((s.readSome(10), s.seek(-5, kSeekBoth), s.state()), TState(0, 0, 0, 6, false));
    EXPECT_EQ((s.seek(8, kSeekWrite), s.writeChar('z'), s.state()), TState(0, 9, 9, 9, false));
    EXPECT_EQ(s.content().substr(0, 6), "abXYef");
    int64_t length = 10;
    EXPECT_EQ(s.view(2, length), s.data() + 2);
    EXPECT_EQ(length, 7);
    EXPECT_EQ(s.view(10, length), nullptr);
    EXPECT_EQ((s.reset(), s.state()), TState(0, 0, 0, 0, false));
    EXPECT_EQ(s.capacityBytes(), 9);
    EXPECT_EQ(severities(), (std::vector<int32_t>{1, 1}));  // the seek mode and the selector
}

TEST_F(TCharStreams, FailedGrowthKeepsTheBlockAndOversizedTransfersCarryOn) {
    TTestStream stream("abc");
    stream.readSome(1);
    char copy[4];
    int64_t count = kStreamTransferLimit + 1;
    EXPECT_TRUE(stream.copyAll(copy, count));  // from the beginning
    EXPECT_EQ(count, 3);
    EXPECT_STREQ(copy, "abc");
    EXPECT_EQ(stream.state(), TState(1, 3, 1, 3, false));
    reports.failAllocationAfterReports = 2;
    EXPECT_FALSE(stream.write("x", kStreamTransferLimit + 1));  // its growth then fails
    EXPECT_TRUE(stream.setSize(10));
    OrvaneTest::failAllocationAfter(0);
    EXPECT_FALSE(stream.setSize(20));
    EXPECT_EQ(stream.capacityBytes(), 11);
    EXPECT_EQ(stream.size(), 10);
    OrvaneTest::failAllocationAfter(0);
    TTestStream().reserve(0);  // not worth a report
    EXPECT_EQ(severities(), (std::vector<int32_t>{2, 2, 1}));
}

TEST_F(TCharStreams, TakeTextHandsOverTheBlockOrLeavesTheStreamAsItWas) {
    TTestStream full("abcd"), stream("abc");  // full: its NUL needs a fifth byte
    int64_t length = -1;
    OrvaneTest::failAllocationAfter(0);
    EXPECT_EQ(full.takeText(length), nullptr);
    EXPECT_EQ(length, 0);
    full.claimSize(kStreamTransferLimit + 1);
    reports.failAllocationAfterReports = 2;
    EXPECT_EQ(full.takeText(length), nullptr);
    reports.failAllocationAfterReports = 4;
    EXPECT_EQ(full.TStream::takeText(length), nullptr);
    full.claimSize(4);
    EXPECT_EQ(full.content(), "abcd");
    EXPECT_EQ(severities(), (std::vector<int32_t>{1, 2, 1, 2, 1}));
    EXPECT_EQ(reports.records()[3]->message, tooLarge);

    EXPECT_STREQ(TTakenText(stream.takeText(length), &free).get(), "abc");
    EXPECT_EQ(length, 3);
    EXPECT_EQ(stream.state(), TState(0, 0, 0, 0, false));
    EXPECT_EQ(stream.data(), nullptr);
    EXPECT_EQ(stream.TStream::takeText(length), nullptr);
}

TEST_F(TCharStreams, ReadStringTakesTheWholeContentAndReportsFromTheExactLimit) {
    TTestStream stream("hello"), withNul(std::string("a\0b", 3));
    stream.readSome(2);
    std::unique_ptr<TString> text(stream.readString()), cut(withNul.readString());
    TString longer("a much longer text");
    ASSERT_TRUE(text && cut && longer.readFrom(stream));
    EXPECT_EQ(std::string(text->c_str()) + longer.c_str(), "hellohello");
    EXPECT_EQ(longer.getCapacity(), 19u);  // never shrunk
    EXPECT_EQ(stream.readPosition(), 2);
    // The text ends at the first NUL.
    EXPECT_EQ(std::make_pair(std::string(cut->c_str()), cut->getLength()),
              std::make_pair("a"s, 1u));
    ASSERT_TRUE(longer.readFrom(withNul));
    EXPECT_EQ(longer.getLength(), 1u);

    stream.claimSize(kStreamTransferLimit);
    reports.failAllocationAfterReports = 1;
    EXPECT_THROW(stream.readString(), std::bad_alloc);
    stream.claimSize(kStreamTransferLimit + 1);
    reports.failAllocationAfterReports = 3;
    EXPECT_THROW(stream.readString(), std::bad_alloc);
    stream.claimSize(5);
    ASSERT_EQ(severities(), (std::vector<int32_t>{2, 2, 2}));
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(reports.records()[i]->message, tooLarge);
        EXPECT_EQ(reports.records()[i]->line == 2244, i != 1);  // TString's own report
    }
    EXPECT_STREQ(reports.records()[0]->file, "Common\\General\\TString");
}

TEST(TStreamReadTerminated, StopsJustPastTheTerminatorAndLeavesTheWritePosition) {
    const std::string longText = std::string(300, 'a') + '\0' + "zz", a300(300, 'a');
    // content, start, chunk size, text read, read position after, eof
    using Case = std::tuple<std::string, int64_t, uint32_t, std::string, int64_t, bool>;
    for (const auto& [content, start, chunk, expected, readPosition, eof] :
         {Case{std::string("ab\0cd", 5), 0, 2, "ab", 3, false},
          Case{std::string("abc\0", 4), 0, 3, "abc", 4, true}, Case{"abc", 0, 10, "abc", 4, false},
          Case{"abcd", 0, 2, "abcd", 4, true}, Case{std::string("x\0ab\0", 5), 2, 8, "ab", 5, true},
          Case{std::string("\0x", 2), 0, 4, "", 1, false}, Case{"ab", 0, 0, "", 0, false},
          Case{longText, 0, 7, a300, 301, false}, Case{longText, 0, 8, a300, 301, false}}) {
        TTestStream stream(content);
        stream.seek(start, kSeekRead);
        TString text("pre:");
        EXPECT_TRUE(stream.readTerminated(text, chunk));
        EXPECT_EQ(std::make_tuple(std::string(text.c_str()), stream.readPosition(), stream.isEof()),
                  std::make_tuple("pre:" + expected, readPosition, eof))
            << content.substr(0, 8) << " chunk " << chunk;
        stream.writeChar('X');
        EXPECT_EQ(stream.content(), content + 'X') << content.substr(0, 8) << " chunk " << chunk;
    }
}

TEST(TStreamCompare, OrdersUnsignedBytesAcrossChunkBordersAndRestoresPositions) {
    const std::string bytes(250000, 'k');
    TTestStream original(bytes), longer(bytes + 'k'), shifted("x" + bytes), high("\x80"),
        low("\x7f");
    longer.readSome(1);
    EXPECT_EQ(original.compare(longer, 0, 0, 300000), -1);
    EXPECT_EQ(longer.compare(original, -4, -1, 300000), 1);  // from offsets 0
    EXPECT_EQ(shifted.compare(original, 1, 0, 300000), 0);
    EXPECT_EQ(std::make_pair(longer.compare(original, 0, 0, 0), longer.compare(high, 0, 0, -1)),
              std::make_pair(0, 0));
    EXPECT_EQ(high.compare(low, 0, 0, 1), 1);
    EXPECT_EQ(longer.state(), TState(1, 1, 1, 250001, false));
    EXPECT_EQ(original.readPosition() + original.writePosition(), 0);
    TTestStream itself("abcabd");
    EXPECT_EQ(itself.compare(itself, 0, 3, 3), -1);
    EXPECT_EQ(itself.compare(itself, 3, 0, 3), 1);

    // The bytes decide before the length, within the first chunk as beyond it.
    const std::string tail(102400, 'k');
    for (auto [shorter, longer] :
         {std::pair{"b"s, "ab"s}, std::pair{"b" + tail, "a" + tail + 'k'}}) {
        TTestStream a(shorter), b(longer);
        int64_t length = static_cast<int64_t>(longer.size());
        EXPECT_EQ(std::make_pair(a.compare(b, 0, 0, length), b.compare(a, 0, 0, length)),
                  std::make_pair(1, -1))
            << shorter.size();
    }

    for (int at : {0, 102399, 102400, 204799, 204800, 249999}) {
        std::string changedBytes = bytes;
        changedBytes[at] = 'j';
        TTestStream changed(changedBytes);
        EXPECT_EQ(changed.compare(original, 0, 0, 250000), -1) << at;
        EXPECT_EQ(original.compare(changed, 0, 0, 300000), 1) << at;
        EXPECT_EQ(changed.compare(original, 0, 0, at), 0) << at;
    }
}

}  // namespace
}  // namespace OrvaneLib
