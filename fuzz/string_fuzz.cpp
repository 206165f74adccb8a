// TString against std::string: two strings take a series of operations read from the input, and
// after each one their texts, searches and comparisons must agree with the model's and the
// invariants must hold. Case-insensitive searches are also held against the per-position UTF-16
// comparison wherever that rule and the byte rule agree (a needle of valid UTF-8 without U+FFFD).
#include "Common/General/TStream.h"
#include "Common/General/TString.h"
#include "fuzz/FuzzInput.h"

#include <utility>

using namespace OrvaneLib;
using namespace OrvaneFuzz;

namespace {

constexpr uint32_t kMaxText = 64;
// Appending a string to itself doubles it: beyond this length the appends stop, and the UTF-16
// cross-check, which converts the rest of the text at every start, stops earlier.
constexpr size_t kMaxLength = 8192;
constexpr size_t kMaxWideCheckLength = 1024;

unsigned char folded(char c) {
    unsigned char byte = static_cast<unsigned char>(c);
    return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte + 32) : byte;
}

bool sameByte(char a, char b, bool caseSensitive) {
    return caseSensitive ? a == b : folded(a) == folded(b);
}

int sign(int value) {
    return (value > 0) - (value < 0);
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(const std::string& text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        unsigned char lead = s[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        // The continuation bytes that follow, and the range of the first of them.
        size_t extra = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (n - i <= extra || s[i + 1] < low || s[i + 1] > high) {
            return false;
        }
        for (size_t k = 2; k <= extra; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) {
                return false;
            }
        }
        i += extra + 1;
    }
    return true;
}

struct TSearch {
    bool found;
    uint32_t position;
};

// The documented search: the leftmost start from position; a failure leaves the position one past
// the last start, or untouched when it began beyond it.
TSearch modelFind(const std::string& text, const std::string& needle, uint32_t position,
                  bool caseSensitive) {
    if (needle.empty() || needle.size() > text.size() || position > text.size() - needle.size()) {
        return {false, position};
    }
    uint32_t last = static_cast<uint32_t>(text.size() - needle.size());
    for (; position <= last; ++position) {
        if (std::equal(needle.begin(), needle.end(), text.begin() + position,
                       [&](char a, char b) { return sameByte(a, b, caseSensitive); })) {
            return {true, position};
        }
    }
    return {false, position};
}

// The comparison of UTF-16 forms at every start, as the case-insensitive search once worked.
TSearch wideFind(const TString& text, const std::string& needle, uint32_t position) {
    uint32_t last = text.getLength() - static_cast<uint32_t>(needle.size());
    for (; position <= last; ++position) {
        if (startsWithNoCase(text.c_str() + position, needle.c_str()) == 0) {
            return {true, position};
        }
    }
    return {false, position};
}

class TStringFuzz {
public:
    explicit TStringFuzz(TFuzzInput& input) : in(input) {}

    void run() {
        runSteps(
            in, strings, models, [this](auto&... parts) { step(parts...); }, checkString);
    }

private:
    // A text from the input, or null.
    std::pair<const char*, std::string> textOrNull(const std::string& bytes) {
        if (in.byte() == 0) {
            return {nullptr, ""};
        }
        return {bytes.c_str(), asText(bytes)};
    }

    void step(TString& s, std::string& model, TString& other, std::string& otherModel) {
        int op = in.byte() % 18;
        bool appends = op == 4 || op == 5 || op == 14;
        if (appends && model.size() + otherModel.size() > kMaxLength) {
            return;
        }
        switch (op) {
            case 0: {
                std::string bytes = in.bytes(kMaxText);
                auto [text, expected] = textOrNull(bytes);
                s = TString(text);
                model = expected;
                FUZZ_CHECK(s.hasBlock() == (text != nullptr));
                break;
            }
            case 1: {
                std::string bytes = in.bytes(kMaxText);
                auto [text, expected] = textOrNull(bytes);
                s = text;
                model = expected;
                break;
            }
            case 2:
                if (in.flag()) {
                    const TString& alias = s;
                    s = alias;
                } else {
                    s = other;
                    model = otherModel;
                }
                break;
            case 3:
                s = std::move(other);
                model = std::move(otherModel);
                otherModel.clear();
                FUZZ_CHECK(!other.hasBlock());
                break;
            case 4:
                if (in.flag()) {
                    s += s;
                    model += model;
                } else {
                    s += other;
                    model += otherModel;
                }
                break;
            case 5: {
                // Part of its own text, or a text from the input.
                if (in.flag()) {
                    uint32_t from = in.upTo(s.getLength());
                    std::string tail = model.substr(from);
                    s += s.c_str() + from;
                    model += tail;
                } else {
                    std::string bytes = in.bytes(kMaxText);
                    auto [text, expected] = textOrNull(bytes);
                    s += text;
                    model += expected;
                }
                break;
            }
            case 6: {
                char c = static_cast<char>(in.byte());
                s += c;
                if (c != '\0') {
                    model += c;
                }
                break;
            }
            case 7: {
                uint32_t capacity = s.getCapacity();
                uint32_t n = in.upTo(300);
                s.grow(n);
                FUZZ_CHECK(s.getCapacity() == (capacity == 0 ? n + 1 : capacity + n));
                break;
            }
            case 8: {
                uint32_t pos = in.upTo(s.getLength() + 2);
                int32_t count = static_cast<int32_t>(in.around(0, 2, s.getLength() + 2));
                s.erase(pos, count);
                if (pos < model.size() && count != 0) {
                    model.erase(pos, count < 0 ? std::string::npos : static_cast<size_t>(count));
                }
                break;
            }
            case 9: {
                uint32_t pos = in.upTo(s.getLength() + 2), count = in.upTo(s.getLength() + 2);
                std::string expected = pos < model.size() ? model.substr(pos, count) : "";
                if (in.flag()) {
                    s.substring(pos, count, s);
                    model = expected;
                } else {
                    s.substring(pos, count, other);
                    otherModel = expected;
                }
                break;
            }
            case 10:
                find(s, model);
                break;
            case 11:
                findChar(s, model);
                break;
            case 12: {
                char from = static_cast<char>(in.byte()), to = static_cast<char>(in.byte());
                bool caseSensitive = in.flag();
                s.replaceChar(from, to, caseSensitive);
                for (char& c : model) {
                    if (to != '\0' && sameByte(c, from, caseSensitive)) {
                        c = to;
                    }
                }
                break;
            }
            case 13:
                compare(s, model, other, otherModel);
                break;
            case 14: {
                std::string bytes = in.bytes(kMaxText);
                TString third(bytes.c_str());
                TString joined(s + other + third + s);
                model = model + otherModel + asText(bytes) + model;
                s = std::move(joined);
                break;
            }
            case 15:
                FUZZ_CHECK(
                    s.startsWith(other) ==
                    (!otherModel.empty() && model.compare(0, otherModel.size(), otherModel) == 0));
                break;
            case 16: {
                std::string bytes = in.bytes(kMaxText);
                TCharStream stream;
                stream.write(bytes.data(), static_cast<int64_t>(bytes.size()));
                FUZZ_CHECK(s.readFrom(stream));
                model = asText(bytes);
                break;
            }
            default: {
                TString copy(s);
                FUZZ_CHECK(copy.getCapacity() == s.getCapacity());
                checkString(copy, model);
                if (isValidUtf8(model)) {
                    checkString(TString(s.toWide().get()), model);
                }
                break;
            }
        }
    }

    void find(const TString& s, const std::string& model) {
        bool caseSensitive = in.flag();
        // A piece of the text itself finds something; one from the input mostly does not.
        std::string needle;
        if (in.flag()) {
            uint32_t from = in.upTo(s.getLength());
            needle = model.substr(from, in.upTo(kMaxText));
        } else {
            needle = asText(in.bytes(kMaxText));
        }
        uint32_t start = in.upTo(s.getLength() + 1), byString = start, byText = start;
        TSearch expected = modelFind(model, needle, start, caseSensitive);
        FUZZ_CHECK(s.find(TString(needle.c_str()), byString, caseSensitive) == expected.found);
        FUZZ_CHECK(s.find(needle.c_str(), byText, caseSensitive) == expected.found);
        FUZZ_CHECK(byString == expected.position && byText == expected.position);
        bool noReplacement = needle.find("\xEF\xBF\xBD") == std::string::npos;
        if (!caseSensitive && model.size() <= kMaxWideCheckLength && !needle.empty() &&
            needle.size() <= model.size() && start <= model.size() - needle.size() &&
            noReplacement && isValidUtf8(needle)) {
            TSearch wide = wideFind(s, needle, start);
            FUZZ_CHECK(wide.found == expected.found && wide.position == expected.position);
        }
    }

    void findChar(const TString& s, const std::string& model) {
        char c = static_cast<char>(in.byte());
        bool caseSensitive = in.flag(), forward = in.flag();
        uint32_t start = in.upTo(s.getLength() + 1), position = start;
        bool found = forward ? s.findChar(c, position, caseSensitive)
                             : s.findLastChar(c, position, caseSensitive);
        auto matches = [&](char byte) { return sameByte(byte, c, caseSensitive); };
        if (model.empty() || (forward && start >= model.size())) {
            FUZZ_CHECK(!found && position == start);
        } else if (forward) {
            auto at = std::find_if(model.begin() + start, model.end(), matches);
            FUZZ_CHECK(found == (at != model.end()));
            FUZZ_CHECK(position == static_cast<uint32_t>(at - model.begin()));
        } else {
            auto at = std::find_if(model.rbegin(), model.rend(), matches);
            FUZZ_CHECK(found == (at != model.rend()));
            FUZZ_CHECK(position ==
                       (found ? static_cast<uint32_t>(model.rend() - at - 1) : UINT32_MAX));
        }
    }

    // Case-sensitive order is that of signed bytes; either order is antisymmetric.
    void compare(const TString& s, const std::string& model, const TString& other,
                 const std::string& otherModel) {
        bool caseSensitive = in.flag();
        int order = sign(s.compare(other, caseSensitive));
        FUZZ_CHECK(order == -sign(other.compare(s, caseSensitive)));
        FUZZ_CHECK(s.compare(s, caseSensitive) == 0);
        if (caseSensitive) {
            size_t i = 0;
            while (i < model.size() && i < otherModel.size() && model[i] == otherModel[i]) {
                ++i;
            }
            signed char a = i < model.size() ? static_cast<signed char>(model[i]) : 0;
            signed char b = i < otherModel.size() ? static_cast<signed char>(otherModel[i]) : 0;
            int expected = model.empty()        ? (otherModel.empty() ? 0 : -1)
                           : otherModel.empty() ? 1
                                                : sign(a - b);
            FUZZ_CHECK(order == expected);
            FUZZ_CHECK((s == other) == (model == otherModel));
        }
    }

    TFuzzInput& in;
    TString strings[2];
    std::string models[2];
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TFuzzInput input(data, size);
    TStringFuzz(input).run();
    return 0;
}
