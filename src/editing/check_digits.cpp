#include "editing/check_digits.h"

#include "editing/rules.h"
#include "text/format.h"

namespace kovirant {
namespace {

constexpr int kWeights[] = {9, 7, 3, 1};

int weightedSum(std::string_view digits) {
    int sum = 0;
    for (std::size_t i = 0; i < digits.size(); ++i) sum += (digits[i] - '0') * kWeights[i % 4];
    return sum;
}

bool complete(std::string_view text, std::size_t length) { return text.size() == length && allDigits(text); }

}  // namespace

bool weightedSumEndsInZero(std::string_view digits) { return weightedSum(digits) % 10 == 0; }

bool taxNumberFailsCheck(std::string_view text) {
    return complete(text, kTaxBaseLength) && !weightedSumEndsInZero(text);
}

bool accountNumberFailsCheck(std::string_view text) {
    if (!complete(text, kAccountNumberLength)) return false;
    return !weightedSumEndsInZero(text.substr(0, kAccountGroupLength)) ||
           !weightedSumEndsInZero(text.substr(kAccountGroupLength));
}

bool bankCodeFailsCheck(std::string_view text) {
    return complete(text, kCodeNumberLength) && !weightedSumEndsInZero(text);
}

char checkDigitFor(std::string_view prefix) {
    // The next digit's weight is 1 exactly when the prefix has 3 mod 4 digits,
    // as for 7 and 15; other lengths get the digit that works for their weight.
    const int weight = kWeights[prefix.size() % 4];
    const int sum = weightedSum(prefix);
    for (int d = 0; d < 10; ++d)
        if ((sum + d * weight) % 10 == 0) return static_cast<char>('0' + d);
    return '0';
}

}  // namespace kovirant
