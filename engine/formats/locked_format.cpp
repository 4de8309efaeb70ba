#include "engine/formats/locked_format.h"

#include <algorithm>
#include <cstring>

#include "engine/formats/cipher.h"
#include "engine/formats/locked_header.h"

namespace vellumar {
namespace {

constexpr size_t kLineLength = 70;

bool inAlphabet(char c) {
    return c >= ';' && c <= 'z';
}

}  // namespace

std::string describeFault(FormatFault fault) {
    switch (fault) {
        case FormatFault::none:
            break;
        case FormatFault::headerLength:
            return "its header line is shorter than 24 characters";
        case FormatFault::headerLineEnd:
            return "its header line of 24 characters is not followed by CR LF";
        case FormatFault::noBody:
            return "it has no line after its header line";
        case FormatFault::lineEnd:
            return "a line is not ended by CR LF";
        case FormatFault::lineLength:
            return "a line is longer than 70 characters";
        case FormatFault::shortLine:
            return "something follows a line shorter than 70 characters, which only the last "
                   "line may be";
        case FormatFault::emptyLine:
            return "it has an empty line";
        case FormatFault::character:
            return "it holds a character that no locked file holds";
        case FormatFault::bodyLength:
            return "its text has a length that no lock makes";
        case FormatFault::headerEnd:
            return "no carriage return follows its header of 24 characters";
        case FormatFault::noContent:
            return "nothing follows its header";
        case FormatFault::noStanza:
            return "no recipient line follows its first line";
    }
    return "it breaks no rule";
}

bool SmallFormatReader::fail(FormatFault fault) {
    fault_ = fault;
    return false;
}

size_t SmallFormatReader::takeLine(const char* data, size_t size, std::string* body) {
    const size_t room = kLineLength - lineLength_;
    if (room == 0) {
        // A full line: its CR must come now.
        if (data[0] == '\r') {
            phase_ = Phase::lineLf;
            return 1;
        }
        fail(data[0] == '\n'       ? FormatFault::lineEnd
             : inAlphabet(data[0]) ? FormatFault::lineLength
                                   : FormatFault::character);
        return 0;
    }
    const size_t available = std::min(size, room);
    const void* cr = std::memchr(data, '\r', available);
    const size_t length = cr ? static_cast<size_t>(static_cast<const char*>(cr) - data) : available;
    if (!hasOnlyStretchedCharacters(data, length)) {
        // Named by the first stranger, wherever the pieces of the file begin.
        const char* stranger =
            std::find_if(data, data + length, [](char c) { return !inAlphabet(c); });
        fail(*stranger == '\n' ? FormatFault::lineEnd : FormatFault::character);
        return 0;
    }
    if (body) body->append(data, length);
    lineLength_ += length;
    bodyLength_ += length;
    if (!cr) return length;
    phase_ = Phase::lineLf;
    return length + 1;
}

size_t SmallFormatReader::takeFullLines(const char* data, size_t size, std::string* body) {
    // Whole lines of 70, most of a file, checked at once; a line with a
    // stranger among its characters is left to takeLine, to name the fault.
    std::string scratch;
    std::string& out = body ? *body : scratch;
    const size_t from = out.size();
    size_t at = 0;
    while (size - at >= kLineLength + 2 && data[at + kLineLength] == '\r' &&
           data[at + kLineLength + 1] == '\n') {
        out.append(data + at, kLineLength);
        at += kLineLength + 2;
    }
    size_t lines = at / (kLineLength + 2);
    if (!hasOnlyStretchedCharacters(out.data() + from, out.size() - from)) {
        const char* first = out.data() + from;
        const char* last = out.data() + out.size();
        lines = static_cast<size_t>(
                    std::find_if(first, last, [](char c) { return !inAlphabet(c); }) - first) /
                kLineLength;
        out.resize(from + lines * kLineLength);
    }
    lines_ += lines;
    bodyLength_ += lines * kLineLength;
    return lines * (kLineLength + 2);
}

bool SmallFormatReader::take(const char* data, size_t size, std::string* body) {
    if (fault_ != FormatFault::none) return false;
    size_t i = 0;
    while (i < size) {
        switch (phase_) {
            case Phase::header: {
                const size_t n = std::min(kHeaderLength - header_.size(), size - i);
                for (size_t k = i; k < i + n; ++k) {
                    if (data[k] == '\r' || data[k] == '\n') {
                        header_.append(data + i, k - i);
                        return fail(FormatFault::headerLength);
                    }
                }
                header_.append(data + i, n);
                i += n;
                if (header_.size() == kHeaderLength) phase_ = Phase::headerCr;
                break;
            }
            case Phase::headerCr:
            case Phase::headerLf:
                if (data[i++] != (phase_ == Phase::headerCr ? '\r' : '\n'))
                    return fail(FormatFault::headerLineEnd);
                phase_ = phase_ == Phase::headerCr ? Phase::headerLf : Phase::line;
                break;
            case Phase::line: {
                if (lineLength_ == 0) i += takeFullLines(data + i, size - i, body);
                if (i == size) break;
                const size_t used = takeLine(data + i, size - i, body);
                if (fault_ != FormatFault::none) return false;
                i += used;
                break;
            }
            case Phase::lineLf:
                if (data[i++] != '\n') return fail(FormatFault::lineEnd);
                ++lines_;
                // Only a locked empty file has an empty line: its only one.
                if (lineLength_ == 0 && lines_ > 1) return fail(FormatFault::emptyLine);
                phase_ = lineLength_ == kLineLength ? Phase::line : Phase::ended;
                lineLength_ = 0;
                break;
            case Phase::ended:
                return fail(FormatFault::shortLine);
        }
    }
    return true;
}

bool SmallFormatReader::finish() {
    if (fault_ != FormatFault::none) return false;
    switch (phase_) {
        case Phase::header:
            return fail(FormatFault::headerLength);
        case Phase::headerCr:
        case Phase::headerLf:
            return fail(FormatFault::headerLineEnd);
        case Phase::lineLf:
            return fail(FormatFault::lineEnd);
        case Phase::line:
            if (lineLength_ > 0) return fail(FormatFault::lineEnd);
            if (lines_ == 0) return fail(FormatFault::noBody);
            break;
        case Phase::ended:
            break;
    }
    // Stretch makes 4 characters of every 3 bytes, and 2 or 3 of a shorter rest.
    if (bodyLength_ % 4 == 1) return fail(FormatFault::bodyLength);
    return true;
}

bool isSoundSmallLockedFile(const char* data, size_t size) {
    if (size < kSecretMarker.size() ||
        std::memcmp(data, kSecretMarker.data(), kSecretMarker.size()) != 0)
        return false;
    SmallFormatReader reader;
    return reader.take(data, size, nullptr) && reader.finish() && headerVerifies(reader.header());
}

FormatFault checkLargeLockedStart(const char* first, size_t got, uint64_t length) {
    got = static_cast<size_t>(std::min<uint64_t>(got, length));
    if (got < kHeaderLength || std::memchr(first, '\r', kHeaderLength) ||
        std::memchr(first, '\n', kHeaderLength))
        return FormatFault::headerLength;
    if (got == kHeaderLength || first[kHeaderLength] != '\r') return FormatFault::headerEnd;
    if (length <= kHeaderLength + 1) return FormatFault::noContent;
    return FormatFault::none;
}

}  // namespace vellumar
