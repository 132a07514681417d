// SplitFields against a plain split-everything-then-trim reference, for any field count,
// both empty-field rules and any delimiter set. Entries past `high` must stay untouched.

#include <algorithm>
#include <string>
#include <vector>

#include "data/Utilities.h"
#include "fuzz/FuzzSupport.h"

namespace {

constexpr int32_t MaxHigh = 130;  // beyond the 116 fields a record line uses
const std::string Untouched = "\x01untouched";

// Every delimiter ends a token; then the rules for empty fields and the field limit.
std::vector<std::string> ReferenceSplit(const std::string& text, int32_t high, bool skipEmpty,
                                        const TDelimiterSet& delimiters) {
    std::vector<std::string> tokens(1);
    for (char c : text) {
        if (delimiters.test(static_cast<unsigned char>(c))) {
            tokens.emplace_back();
        } else {
            tokens.back().push_back(c);
        }
    }
    // A trailing delimiter (or an empty text) opens no field.
    if (tokens.back().empty()) {
        tokens.pop_back();
    }
    std::vector<std::string> fields;
    for (std::string& token : tokens) {
        if (!(skipEmpty && token.empty())) {
            fields.push_back(std::move(token));
        }
    }
    if (fields.size() > static_cast<size_t>(high) + 1) {
        fields.resize(static_cast<size_t>(high) + 1);
    }
    return fields;
}

TDelimiterSet DelimitersFrom(TFuzzInput& input) {
    TDelimiterSet delimiters;
    const int count = input.Byte() % 4;
    for (int i = 0; i < count; ++i) {
        delimiters.set(input.Byte());
    }
    // Without a chosen delimiter the record separator is used, the set the parser passes.
    if (delimiters.none()) {
        delimiters.set(';');
    }
    return delimiters;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TFuzzInput input(data, size);
    const uint8_t control = input.Byte();
    const int32_t high = control % (MaxHigh + 1);
    const bool skipEmpty = (input.Byte() & 1) != 0;
    const size_t extra = input.Byte() % 4;
    const TDelimiterSet delimiters = DelimitersFrom(input);
    const std::string text = input.Rest();

    std::vector<std::string> fields(static_cast<size_t>(high) + 1 + extra, Untouched);
    const int32_t count = SplitFields(text, fields, high, skipEmpty, delimiters);

    const std::vector<std::string> expected = ReferenceSplit(text, high, skipEmpty, delimiters);
    FUZZ_CHECK(count == static_cast<int32_t>(expected.size()));
    FUZZ_CHECK(fields.size() == static_cast<size_t>(high) + 1 + extra);
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i < expected.size()) {
            FUZZ_CHECK(fields[i] == expected[i]);
        } else if (i <= static_cast<size_t>(high)) {
            FUZZ_CHECK(fields[i].empty());
        } else {
            FUZZ_CHECK(fields[i] == Untouched);
        }
    }

    // A too small array grows to exactly high + 1 entries with the same content.
    std::vector<std::string> grown;
    FUZZ_CHECK(SplitFields(text, grown, high, skipEmpty, delimiters) == count);
    FUZZ_CHECK(grown.size() == static_cast<size_t>(high) + 1);
    FUZZ_CHECK(std::equal(grown.begin(), grown.end(), fields.begin()));

    // A negative limit stores nothing and leaves the array alone.
    std::vector<std::string> none(1, Untouched);
    FUZZ_CHECK(SplitFields(text, none, -1 - high, skipEmpty, delimiters) == 0);
    FUZZ_CHECK(none.size() == 1 && none[0] == Untouched);
    return 0;
}
