#include "model/text.h"

#include <unicode/coll.h>
#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

#include <memory>
#include <string_view>

namespace zarvex {
namespace {

icu::UnicodeString normalized(std::string_view text) {
    const icu::UnicodeString source =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), int32_t(text.size())));
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status)) {
        return source;
    }
    icu::UnicodeString result = nfc->normalize(source, status);
    return U_FAILURE(status) ? source : result;
}

// One collator per thread: ICU collators are not safe for concurrent use.
icu::Collator* collator() {
    thread_local std::unique_ptr<icu::Collator> instance = [] {
        // Under the C/POSIX locale ICU picks en_US_POSIX, whose ordering puts
        // every upper-case letter before every lower-case one; the root
        // ordering is the sensible stand-in there.
        icu::Locale locale = icu::Locale::getDefault();
        if (std::string_view(locale.getVariant()) == "POSIX") {
            locale = icu::Locale::getRoot();
        }
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::Collator> c(icu::Collator::createInstance(locale, status));
        if (U_FAILURE(status) || !c) {
            status = U_ZERO_ERROR;
            c.reset(icu::Collator::createInstance(icu::Locale::getRoot(), status));
        }
        if (c) {
            c->setStrength(icu::Collator::SECONDARY);
        }
        return c;
    }();
    return instance.get();
}

}  // namespace

bool canonicallyEqual(std::string_view a, std::string_view b) {
    return a == b || normalized(a) == normalized(b);
}

bool caseInsensitiveEqual(std::string_view a, std::string_view b) {
    return normalized(a).caseCompare(normalized(b), U_FOLD_CASE_DEFAULT) == 0;
}

int localizedCaseInsensitiveCompare(std::string_view a, std::string_view b) {
    icu::Collator* c = collator();
    if (!c) {
        const int folded = normalized(a).caseCompare(normalized(b), U_FOLD_CASE_DEFAULT);
        return folded;
    }
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult result =
        c->compareUTF8(icu::StringPiece(a.data(), int32_t(a.size())),
                       icu::StringPiece(b.data(), int32_t(b.size())), status);
    return result == UCOL_LESS ? -1 : result == UCOL_GREATER ? 1 : 0;
}

}  // namespace zarvex
