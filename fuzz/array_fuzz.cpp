// TArray<TString> against std::vector<std::string>: two arrays take a series of operations read
// from the input, including ones whose elements lie in an array's own block, and after each one
// the elements must equal the model's, in the model's order, and every string must keep its
// invariants.
#include "Common/General/TArray.h"
#include "Common/General/TString.h"
#include "fuzz/FuzzInput.h"

#include <utility>
#include <vector>

using namespace OrvaneLib;
using namespace OrvaneFuzz;

namespace {

using TModel = std::vector<std::string>;

// Adding an array to itself doubles it; beyond this many elements the bulk additions stop.
constexpr size_t kMaxCount = 2048;

// Removal moves the last element into the freed slot.
void removeAt(TModel& model, size_t index) {
    std::swap(model[index], model.back());
    model.pop_back();
}

void check(const TArray<TString>& array, const TModel& model) {
    FUZZ_CHECK(array.getCount() == model.size());
    FUZZ_CHECK(array.getCount() <= array.capacity());
    for (uint32_t i = 0; i < array.getCount(); ++i) {
        checkString(array.getData()[i], model[i]);
    }
}

class TArrayFuzz {
public:
    explicit TArrayFuzz(TFuzzInput& input) : in(input) {}

    void run() {
        runSteps(
            in, arrays, models, [this](auto&... parts) { step(parts...); }, check);
    }

private:
    // An index below count, or 0 for an empty array (the callers then do nothing).
    uint32_t index(const TModel& model) {
        return model.empty() ? 0 : in.upTo(static_cast<uint32_t>(model.size()) - 1);
    }

    // A text from the input, or one of the array's own elements.
    std::string element(const TModel& model) {
        if (!model.empty() && in.flag()) {
            return model[index(model)];
        }
        return asText(in.bytes(16));
    }

    void step(TArray<TString>& array, TModel& model, TArray<TString>& other, TModel& otherModel) {
        switch (in.byte() % 13) {
            case 0: {
                std::string text = element(model);
                FUZZ_CHECK(array.add(TString(text.c_str())) == model.size());
                model.push_back(text);
                break;
            }
            case 1:
                if (!model.empty()) {
                    // The element lies in the block that growing may move.
                    uint32_t i = index(model);
                    array.add(array.getData()[i]);
                    model.push_back(model[i]);
                }
                break;
            case 2: {
                bool own = in.flag();
                TArray<TString>& source = own ? array : other;
                const TModel sourceModel = own ? model : otherModel;
                uint32_t from = in.upTo(static_cast<uint32_t>(sourceModel.size()));
                uint32_t n = in.upTo(static_cast<uint32_t>(sourceModel.size()) - from);
                if (model.size() + n > kMaxCount) {
                    break;
                }
                FUZZ_CHECK(array.addArray(source.getData() + from, n) == model.size());
                model.insert(model.end(), sourceModel.begin() + from,
                             sourceModel.begin() + from + n);
                break;
            }
            case 3: {
                bool own = in.flag();
                const TModel sourceModel = own ? model : otherModel;
                if (model.size() + sourceModel.size() > kMaxCount) {
                    break;
                }
                array.addAll(own ? array : other);
                model.insert(model.end(), sourceModel.begin(), sourceModel.end());
                break;
            }
            case 4: {
                std::string text = element(model);
                uint32_t expected = static_cast<uint32_t>(
                    std::find(model.begin(), model.end(), text) - model.begin());
                TString probe(text.c_str());
                FUZZ_CHECK(array.indexOf(probe) == expected);
                FUZZ_CHECK(array.contains(probe) == (expected != model.size()));
                if (!model.empty()) {
                    uint32_t i = index(model);
                    checkString(array.get(i), model[i]);
                }
                break;
            }
            case 5:
                if (!model.empty()) {
                    uint32_t i = index(model);
                    array.removeAt(i, in.flag());
                    removeAt(model, i);
                }
                break;
            case 6: {
                std::string text = element(model);
                array.removeAll(TString(text.c_str()), in.flag());
                for (size_t i = 0; i < model.size();) {
                    if (model[i] == text) {
                        removeAt(model, i);
                    } else {
                        ++i;
                    }
                }
                break;
            }
            case 7:
                if (!model.empty()) {
                    uint32_t i = index(model), j = index(model);
                    array.swap(i, j);
                    std::swap(model[i], model[j]);
                }
                break;
            case 8: {
                uint32_t n = in.upTo(static_cast<uint32_t>(model.size()) + 20);
                array.setCapacity(n);
                FUZZ_CHECK(array.capacity() == n);
                if (n < model.size()) {
                    model.resize(n);
                }
                break;
            }
            case 9: {
                bool release = in.flag();
                array.clear(release);
                model.clear();
                FUZZ_CHECK(!release || array.capacity() == 0);
                break;
            }
            case 10:
                if (in.flag()) {
                    TArray<TString> copy(other);
                    FUZZ_CHECK(copy.capacity() == otherModel.size());
                    array = std::move(copy);
                } else {
                    const TArray<TString>& alias = array;
                    array = alias;
                    array = other;
                }
                model = otherModel;
                break;
            case 11:
                array = std::move(other);
                model = std::move(otherModel);
                otherModel.clear();
                FUZZ_CHECK(other.getCount() == 0 && other.capacity() == 0);
                break;
            default: {
                char c = static_cast<char>(in.byte() | 1);
                array.forEach([c](TString& s) { s += c; });
                for (std::string& s : model) {
                    s += c;
                }
                break;
            }
        }
    }

    TFuzzInput& in;
    TArray<TString> arrays[2];
    TModel models[2];
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TFuzzInput input(data, size);
    TArrayFuzz(input).run();
    return 0;
}
