#include "widgets/wildcard.h"

namespace quorvela {

namespace {
bool sameLetter(QChar a, QChar b) {
    return a == b || a.toCaseFolded() == b.toCaseFolded();
}
} // namespace

bool matchesWildcard(QStringView pattern, QStringView name) {
    qsizetype p = 0;
    qsizetype n = 0;
    // Where the last '*' was seen, and the first name character it has not yet swallowed:
    // on a mismatch that star takes one more character and matching resumes after it.
    qsizetype star = -1;
    qsizetype resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            resume = n;
        } else if (p < pattern.size() && (pattern[p] == u'?' || sameLetter(pattern[p], name[n]))) {
            ++p;
            ++n;
        } else if (star >= 0) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

} // namespace quorvela
