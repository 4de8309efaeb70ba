#pragma once
// The structural rules of both locked formats, checked before an unlock
// writes anything: a file that breaks one is damaged, and unlocking it
// could only give wrong content (and lose the header that is its key).
//
// Small format: the header line of exactly 24 characters, CR LF, then at
// least one body line; every body line ended by CR LF, every one but the
// last exactly 70 characters long, the last 1 to 70 (a locked empty file
// has one empty body line); body characters ";" to "z" only; nothing after
// the last line end. Large format: the 24-byte header, a CR at offset 24,
// then at least one byte of content.
//
// What no rule can tell: a body character changed to another one of the
// alphabet, and a large file cut short by whole bytes of content (its
// length is not recorded anywhere).

#include <cstddef>
#include <cstdint>
#include <string>

namespace vellumar {

enum class FormatFault {
    none,
    headerLength,   // the header line ends (or the file) before 24 characters
    headerLineEnd,  // no CR LF right after the 24 characters
    noBody,         // nothing after the header line
    lineEnd,        // a body line not ended by CR LF
    lineLength,     // a body line longer than 70 characters
    shortLine,      // more follows a line shorter than 70: only the last may be
    emptyLine,      // an empty body line, other than a locked empty file's only one
    character,      // a body character outside ";" to "z"
    bodyLength,     // a body length that no lock makes
    headerEnd,      // large: no CR at offset 24
    noContent,      // large: nothing after the header and its CR
    noStanza,       // sealed: no recipient stanza follows the version line
};

// What is wrong, in words that finish "... cannot be unlocked: ".
std::string describeFault(FormatFault fault);

// Reads a small locked file as its bytes stream past, in pieces of any
// size, checking every rule on the way and handing on the body's
// characters. Once a rule is broken it takes nothing more.
class SmallFormatReader {
  public:
    // Takes the next bytes of the file and appends the body characters
    // among them to `body` (unless null). False once a rule is broken.
    bool take(const char* data, size_t size, std::string* body);
    // The end of the file: false when it breaks a rule, or ends too soon.
    bool finish();

    FormatFault fault() const { return fault_; }
    // The header line's characters read so far (all 24 once they are).
    const std::string& header() const { return header_; }

  private:
    enum class Phase { header, headerCr, headerLf, line, lineLf, ended };
    bool fail(FormatFault fault);
    // Whole lines of 70 at the start of the data; returns the bytes used.
    size_t takeFullLines(const char* data, size_t size, std::string* body);
    // The characters of a body line up to its CR; returns the bytes used.
    size_t takeLine(const char* data, size_t size, std::string* body);

    Phase phase_ = Phase::header;
    FormatFault fault_ = FormatFault::none;
    std::string header_;
    size_t lineLength_ = 0;
    uint64_t lines_ = 0;
    uint64_t bodyLength_ = 0;
};

// Whether the bytes are a whole small locked file that keeps every rule,
// begins with the marker and whose header verifies: only such a text
// counts as an inner layer when a layer comes off.
bool isSoundSmallLockedFile(const char* data, size_t size);

// The large format's rules, from the file's length and its first bytes
// (as many as there are, up to 25).
FormatFault checkLargeLockedStart(const char* first, size_t got, uint64_t length);

}  // namespace vellumar
