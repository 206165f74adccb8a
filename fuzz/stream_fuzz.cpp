// TCharStream against a plain model of its content and positions: two streams take a series of
// writes, reads, seeks and whole-content operations read from the input, and after each one size,
// positions, position(), the end-of-data flag and every byte handed out must agree with the model.
// Bytes the stream leaves uninitialised (a gap before a write beyond the end, growth by setSize)
// are unknown to the model and compared nowhere.
#include "Common/General/TStream.h"
#include "Common/General/TString.h"
#include "fuzz/FuzzInput.h"

#include <algorithm>
#include <memory>
#include <vector>

using namespace OrvaneLib;
using namespace OrvaneFuzz;

namespace {

// Large enough to pass the comparison's 100 KiB chunk, small enough to keep runs fast.
constexpr int64_t kMaxSize = 300 * 1024;

// The content as bytes and, beside it, which of them are known. Library calls do the byte work,
// as loops in this file would be instrumented and slow every run down.
struct TModel {
    std::string bytes;
    std::string isKnown;  // 1 where the byte is known, 0 where the stream left it uninitialised
    int64_t readAt = 0;
    int64_t writeAt = 0;
    int64_t last = 0;
    bool eof = false;

    int64_t size() const { return static_cast<int64_t>(bytes.size()); }
    // Whether [from, to) holds only bytes the model knows.
    bool known(int64_t from, int64_t to) const {
        return from >= to ||
               memchr(isKnown.data() + from, 0, static_cast<size_t>(to - from)) == nullptr;
    }
    // The bytes in [from, to) that the model knows equal those at out.
    bool matches(const char* out, int64_t from, int64_t to) const {
        if (known(from, to)) {
            return from >= to ||
                   memcmp(out, bytes.data() + from, static_cast<size_t>(to - from)) == 0;
        }
        for (int64_t i = from; i < to; ++i) {
            size_t at = static_cast<size_t>(i);
            if (isKnown[at] != 0 && bytes[at] != out[i - from]) {
                return false;
            }
        }
        return true;
    }
    std::string text(int64_t from, int64_t to) const {
        return bytes.substr(static_cast<size_t>(from), static_cast<size_t>(to - from));
    }
    void resize(int64_t count) {
        bytes.resize(static_cast<size_t>(count), '\0');
        isKnown.resize(static_cast<size_t>(count), '\0');
    }
    void forget() {
        resize(0);
        readAt = writeAt = last = 0;
        eof = false;
    }
    void write(const std::string& source) {
        int64_t end = writeAt + static_cast<int64_t>(source.size());
        if (end > size()) {
            resize(end);
        }
        bytes.replace(static_cast<size_t>(writeAt), source.size(), source);
        isKnown.replace(static_cast<size_t>(writeAt), source.size(), source.size(), '\1');
        writeAt = end;
        last = end;
        eof = false;
    }
};

void check(const TCharStream& stream, const TModel& model) {
    FUZZ_CHECK(stream.size() == model.size());
    FUZZ_CHECK(stream.readPosition() == model.readAt);
    FUZZ_CHECK(stream.writePosition() == model.writeAt);
    FUZZ_CHECK(stream.position() == model.last);
    FUZZ_CHECK(stream.isEof() == model.eof);
    FUZZ_CHECK(stream.remaining() == model.size() - model.readAt);
    FUZZ_CHECK(stream.positionOf(0) == model.readAt && stream.positionOf(1) == model.writeAt);
}

int64_t clip(int64_t offset, int64_t size) {
    return offset < 0 ? 0 : offset > size ? size : offset;
}

// Unsigned bytes in order; a range that ends first is the smaller. Null when a byte is unknown.
std::unique_ptr<int> modelCompare(const TModel& own, int64_t ownOffset, const TModel& other,
                                  int64_t otherOffset, int64_t length) {
    int64_t ownFrom = clip(ownOffset, own.size()), otherFrom = clip(otherOffset, other.size());
    int64_t ownTo = length > 0 ? clip(ownFrom + length, own.size()) : ownFrom;
    int64_t otherTo = length > 0 ? clip(otherFrom + length, other.size()) : otherFrom;
    if (!own.known(ownFrom, ownTo) || !other.known(otherFrom, otherTo)) {
        return nullptr;
    }
    std::string a = own.text(ownFrom, ownTo), b = other.text(otherFrom, otherTo);
    int order = std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                             [](char x, char y) {
                                                 return static_cast<unsigned char>(x) <
                                                        static_cast<unsigned char>(y);
                                             })
                    ? -1
                : a == b ? 0
                         : 1;
    return std::make_unique<int>(order);
}

class TStreamFuzz {
public:
    explicit TStreamFuzz(TFuzzInput& input) : in(input) {}

    void run() {
        runSteps(
            in, streams, models, [this](auto&... parts) { step(parts...); }, check);
    }

private:
    void step(TCharStream& s, TModel& model, TCharStream& other, TModel& otherModel) {
        switch (in.byte() % 14) {
            case 0: {
                std::string bytes = in.bytes(32);
                FUZZ_CHECK(s.write(bytes.data(), static_cast<int64_t>(bytes.size())));
                model.write(bytes);
                break;
            }
            case 1: {
                // Many copies of one byte, up to past the comparison's chunk; mostly fewer, as
                // large streams make slow runs.
                int64_t count = 1 + (int64_t{in.upTo(1024)} << in.upTo(7));
                if (model.writeAt + count <= kMaxSize) {
                    std::string bytes(static_cast<size_t>(count), static_cast<char>(in.byte()));
                    FUZZ_CHECK(s.write(bytes.data(), count));
                    model.write(bytes);
                }
                break;
            }
            case 2:
                writeValue(s, model);
                break;
            case 3:
                read(s, model);
                break;
            case 4: {
                int64_t offset = in.around(0, 2, static_cast<uint32_t>(model.size()) + 10);
                int32_t mode = in.upTo(3);
                FUZZ_CHECK(s.seek(offset, mode));
                offset = offset < 0 ? 0 : offset;
                if (mode == kSeekRead || mode == kSeekBoth) {
                    model.readAt = offset;
                    model.eof = false;
                }
                if (mode == kSeekWrite || mode == kSeekBoth) {
                    model.writeAt = offset;
                }
                model.last = offset;
                break;
            }
            case 5:
                readTerminated(s, model);
                break;
            case 6:
                readWhole(s, model);
                break;
            case 7: {
                int64_t count = in.around(0, 1, static_cast<uint32_t>(model.size()) + 4);
                std::vector<char> out(static_cast<size_t>(count < 0 ? 1 : count + 1));
                int64_t asked = count;
                FUZZ_CHECK(s.copyAll(out.data(), count) == (asked >= 0));
                if (asked >= 0) {
                    FUZZ_CHECK(count == std::min(asked, model.size()));
                    FUZZ_CHECK(model.matches(out.data(), 0, count) && out[count] == '\0');
                }
                break;
            }
            case 8:
                take(s, model);
                break;
            case 9:
                in.flag() ? s.reset() : s.clear();
                model.forget();
                break;
            case 10: {
                int64_t count = in.upTo(static_cast<uint32_t>(model.size()) + 40);
                FUZZ_CHECK(s.setSize(count));
                model.resize(count);
                break;
            }
            case 11:
                compare(s, model, other, otherModel);
                break;
            case 12: {
                int64_t offset = in.around(0, 1, static_cast<uint32_t>(model.size()) + 2);
                int64_t length = in.around(0, 1, static_cast<uint32_t>(model.size()) + 2);
                int64_t asked = length;
                const char* at = s.view(offset, length);
                if (offset < 0 || offset > model.size()) {
                    FUZZ_CHECK(at == nullptr);
                } else {
                    int64_t expected = std::max<int64_t>(0, std::min(asked, model.size() - offset));
                    FUZZ_CHECK(length == expected);
                    FUZZ_CHECK(length == 0 || model.matches(at, offset, offset + length));
                }
                break;
            }
            default:
                s.reserve(in.upTo(600));
                break;
        }
    }

    // One of the writers that turn a value into text, and the text printf makes of it.
    void writeValue(TCharStream& s, TModel& model) {
        int64_t value = static_cast<int64_t>(in.upTo(65535) << 16 | in.upTo(65535)) - INT32_MAX;
        char text[400];
        bool written = false;
        switch (in.byte() % 10) {
            case 0:
                written = s.writeInt32(static_cast<int32_t>(value));
                snprintf(text, sizeof text, "%d", static_cast<int32_t>(value));
                break;
            case 1:
                written = s.writeUInt32(static_cast<uint32_t>(value));
                snprintf(text, sizeof text, "%u", static_cast<uint32_t>(value));
                break;
            case 2:
                written = s.writeInt64(value * 1000003);
                snprintf(text, sizeof text, "%lld", static_cast<long long>(value * 1000003));
                break;
            case 3:
                written = s.writeUInt64(static_cast<uint64_t>(value) * 1000003u);
                snprintf(text, sizeof text, "%llu",
                         static_cast<unsigned long long>(static_cast<uint64_t>(value) * 1000003u));
                break;
            case 4:
                written = s.writeDouble(static_cast<double>(value) * 1e280);
                snprintf(text, sizeof text, "%8f", static_cast<double>(value) * 1e280);
                break;
            case 5: {
                float f = static_cast<float>(value) / 7;
                written = s.writeFloat(f);
                snprintf(text, sizeof text, "%8f", static_cast<double>(f));
                break;
            }
            case 6:
                written = s.writeBool(value % 2 != 0);
                snprintf(text, sizeof text, "%s", value % 2 != 0 ? "true" : "false");
                break;
            case 7: {
                std::string bytes = in.bytes(16);
                written = s.writeCString(bytes.c_str());
                snprintf(text, sizeof text, "%s", bytes.c_str());
                break;
            }
            case 8: {
                std::string bytes = in.bytes(16);
                written = s.writeString(TString(bytes.c_str()));
                snprintf(text, sizeof text, "%s", bytes.c_str());
                break;
            }
            default: {
                // The one writer that can write a NUL.
                char c = static_cast<char>(value);
                FUZZ_CHECK(s.writeChar(c));
                model.write(std::string(1, c));
                return;
            }
        }
        FUZZ_CHECK(written);
        model.write(text);
    }

    void read(TCharStream& s, TModel& model) {
        int64_t count = in.around(0, 1, 40), asked = count;
        char out[40];
        FUZZ_CHECK(s.read(out, count) == (asked >= 0));
        if (asked < 0) {
            FUZZ_CHECK(count == asked);
            return;
        }
        int64_t available = model.size() - model.readAt;
        if (asked > available) {
            model.eof = true;
        }
        int64_t expected = std::max<int64_t>(0, std::min(asked, available));
        FUZZ_CHECK(count == expected);
        FUZZ_CHECK(model.matches(out, model.readAt, model.readAt + count));
        model.readAt += count;
        model.last = model.readAt;
    }

    // The text up to the next NUL; the read position just past it, or at or one past the end of
    // the data without one; the write position where it was.
    void readTerminated(TCharStream& s, TModel& model) {
        std::string before = asText(in.bytes(8));
        uint32_t chunk = in.upTo(9);
        // A string grows by exactly what is appended, so small chunks over long data cost
        // quadratic time.
        if (chunk > 0 && model.size() - model.readAt > 4096) {
            chunk += 4096;
        }
        TString text(before.c_str());
        FUZZ_CHECK(s.readTerminated(text, chunk));
        int64_t from = model.readAt, end = model.size();
        if (chunk > 0 && from < end) {
            size_t nul = model.bytes.find('\0', static_cast<size_t>(from));
            int64_t at = nul == std::string::npos ? end : static_cast<int64_t>(nul);
            if (model.known(from, std::min(at + 1, end))) {
                checkString(text, before + model.text(from, at));
                bool shortLast = (end - from) % chunk != 0;
                model.readAt = at < end ? at + 1 : shortLast ? end + 1 : end;
            } else {
                model.readAt = s.readPosition();
            }
        }
        model.last = model.readAt;
        // Whether the last chunk came short is the chunked reading's business, not the model's.
        model.eof = s.isEof();
    }

    void readWhole(TCharStream& s, TModel& model) {
        bool known = model.known(0, model.size());
        std::string expected = asText(model.text(0, model.size()));
        if (in.flag()) {
            std::unique_ptr<TString> text(s.readString());
            FUZZ_CHECK(text != nullptr);
            if (known) {
                checkString(*text, expected);
            }
        } else {
            TString text(asText(in.bytes(8)).c_str());
            FUZZ_CHECK(text.readFrom(s));
            if (known) {
                checkString(text, expected);
            }
        }
    }

    void take(TCharStream& s, TModel& model) {
        int64_t length = -1;
        bool own = in.flag();
        std::unique_ptr<char, decltype(&free)> text(
            own ? s.takeText(length) : s.TStream::takeText(length), &free);
        FUZZ_CHECK(length == model.size());
        if (model.size() > 0 || own) {
            FUZZ_CHECK(text != nullptr && text.get()[length] == '\0');
            FUZZ_CHECK(model.matches(text.get(), 0, length));
        } else {
            FUZZ_CHECK(text == nullptr);
        }
        if (own) {
            model.forget();
            FUZZ_CHECK(s.data() == nullptr);
        }
    }

    // Both streams' read and write positions end at their read positions from before.
    void compare(TCharStream& s, TModel& model, TCharStream& other, TModel& otherModel) {
        bool self = in.flag();
        TCharStream& against = self ? s : other;
        TModel& againstModel = self ? model : otherModel;
        int64_t ownOffset = in.around(0, 2, static_cast<uint32_t>(model.size()) + 4);
        int64_t otherOffset = in.around(0, 2, static_cast<uint32_t>(againstModel.size()) + 4);
        int64_t length = in.flag() ? kMaxSize : in.around(0, 2, 300);
        std::unique_ptr<int> expected =
            modelCompare(model, ownOffset, againstModel, otherOffset, length);
        int order = s.compare(against, ownOffset, otherOffset, length);
        FUZZ_CHECK(expected == nullptr || order == *expected);
        if (!self) {
            FUZZ_CHECK(order == -against.compare(s, otherOffset, ownOffset, length));
        }
        for (TModel* m : {&model, &againstModel}) {
            m->writeAt = m->last = m->readAt;
            m->eof = false;
        }
    }

    TFuzzInput& in;
    TCharStream streams[2];
    TModel models[2];
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TFuzzInput input(data, size);
    TStreamFuzz(input).run();
    return 0;
}
