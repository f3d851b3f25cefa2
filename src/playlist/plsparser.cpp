#include "playlist/plsparser.h"

#include "playlist/playlistlines.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace quorvela {

namespace {

struct PlsEntry {
    // The digits of N without leading zeros, compared by length and then text so that any
    // number of digits orders correctly.
    const char* digits;
    std::ptrdiff_t digitCount;
    const char* value;
    const char* valueEnd;
};

bool plsNumberLess(const PlsEntry& a, const PlsEntry& b) {
    if (a.digitCount != b.digitCount)
        return a.digitCount < b.digitCount;
    return std::memcmp(a.digits, b.digits, static_cast<size_t>(a.digitCount)) < 0;
}

} // namespace

bool PlsParser::recognises(QByteArrayView bytes) const {
    using namespace playlistlines;
    const char* end = bytes.data() + bytes.size();
    bool found = false;
    forEachLine(skipBom(bytes.data(), end), end, [&found](const char* begin, const char* stop) {
        trimBlanks(begin, stop);
        if (begin == stop)
            return true;
        found = stop - begin == 10 && startsWithNoCase(begin, stop, "[playlist]");
        return false;
    });
    return found;
}

void PlsParser::parse(const char* begin, const char* end, PlaylistItems& items) const {
    using namespace playlistlines;
    std::vector<PlsEntry> entries;
    forEachLine(begin, end, [&entries](const char* line, const char* stop) {
        trimBlanks(line, stop);
        if (!startsWithNoCase(line, stop, "file"))
            return true;
        const char* q = line + 4;
        while (q < stop && *q == '0')
            ++q;
        const char* digits = q;
        while (q < stop && *q >= '0' && *q <= '9')
            ++q;
        const bool hasNumber = q > line + 4;
        const char* digitsEnd = q;
        while (q < stop && isBlank(*q))
            ++q;
        if (!hasNumber || q == stop || *q != '=')
            return true;
        const char* value = q + 1;
        while (value < stop && isBlank(*value))
            ++value;
        entries.push_back({digits, digitsEnd - digits, value, stop});
        return true;
    });
    // Equal numbers keep their order in the file: nothing the file holds is lost.
    std::stable_sort(entries.begin(), entries.end(), plsNumberLess);
    for (const PlsEntry& entry : entries) {
        if (!items.take(entry.value, entry.valueEnd))
            return;
    }
}

void PlsParser::writeHeader(QByteArray& out) const {
    out.append("[playlist]\n");
}

void PlsParser::writeEntry(QByteArray& out, qsizetype number, const QByteArray& line) const {
    out.append("File");
    out.append(QByteArray::number(number));
    out.append('=');
    out.append(line);
    out.append('\n');
}

void PlsParser::writeFooter(QByteArray& out, qsizetype count) const {
    out.append("NumberOfEntries=");
    out.append(QByteArray::number(count));
    out.append("\nVersion=2\n");
}

} // namespace quorvela
