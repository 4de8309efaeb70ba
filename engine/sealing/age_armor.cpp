#include "engine/sealing/age_armor.h"

#include <cstring>

#include "engine/sealing/age_encoding.h"

namespace vellumar {
namespace {

const std::string kBegin = "-----BEGIN AGE ENCRYPTED FILE-----";
const std::string kEnd = "-----END AGE ENCRYPTED FILE-----";
constexpr size_t kColumns = 64;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Padded, canonical base64 of one line.
bool decodeLine(std::string line, bool last, std::string& bytes) {
    if (line.empty() || line.size() % 4 != 0) return false;
    size_t padding = 0;
    while (!line.empty() && line.back() == '=' && padding < 3) {
        line.pop_back();
        ++padding;
    }
    if (padding > 0 && !last) return false;
    const size_t rest = line.size() % 4;
    if (padding != (rest == 0 ? 0u : 4 - rest) || rest == 1) return false;
    return decodeBase64(line, bytes);
}

class Dearmor {
  public:
    Dearmor(std::string head, AgeSource source, std::shared_ptr<bool> broken)
        : raw_(std::move(head)), source_(std::move(source)), broken_(std::move(broken)) {}

    IoError operator()(char* buffer, size_t size, size_t& got) {
        got = 0;
        while (at_ == out_.size() && state_ != State::done) {
            out_.clear();
            at_ = 0;
            if (IoError e = step(); e != IoError::ok) return e;
        }
        got = std::min(size, out_.size() - at_);
        std::memcpy(buffer, out_.data() + at_, got);
        at_ += got;
        return IoError::ok;
    }

  private:
    enum class State { begin, body, afterShort, trailing, done };

    IoError fail() {
        *broken_ = true;
        state_ = State::done;
        return IoError::other;
    }

    // More raw bytes; false at the end.
    IoError more(bool& any) {
        char chunk[4096];
        size_t got = 0;
        if (IoError e = source_(chunk, sizeof chunk, got); e != IoError::ok) return e;
        raw_.erase(0, rawAt_);
        rawAt_ = 0;
        raw_.append(chunk, got);
        any = got > 0;
        return IoError::ok;
    }

    // One line without its LF or CRLF; `ended` false when the input ends first.
    IoError line(std::string& text, bool& ended) {
        while (true) {
            const size_t lf = raw_.find('\n', rawAt_);
            if (lf != std::string::npos) {
                text = raw_.substr(rawAt_, lf - rawAt_);
                rawAt_ = lf + 1;
                if (!text.empty() && text.back() == '\r') text.pop_back();
                ended = true;
                return IoError::ok;
            }
            // No line of the armor is this long.
            if (raw_.size() - rawAt_ > kColumns + 2) {
                text = raw_.substr(rawAt_);
                ended = false;
                return IoError::ok;
            }
            bool any = false;
            if (IoError e = more(any); e != IoError::ok) return e;
            if (!any) {
                text = raw_.substr(rawAt_);
                rawAt_ = raw_.size();
                ended = false;
                return IoError::ok;
            }
        }
    }

    IoError step() {
        if (state_ == State::begin) {
            // Whitespace before the block.
            while (true) {
                while (rawAt_ < raw_.size() && isSpace(raw_[rawAt_])) ++rawAt_;
                if (rawAt_ < raw_.size()) break;
                bool any = false;
                if (IoError e = more(any); e != IoError::ok) return e;
                if (!any) return fail();
            }
            std::string text;
            bool ended = false;
            if (IoError e = line(text, ended); e != IoError::ok) return e;
            if (!ended || text != kBegin) return fail();
            state_ = State::body;
            return IoError::ok;
        }
        if (state_ == State::trailing) {
            // Whitespace after the block, and nothing else.
            while (true) {
                while (rawAt_ < raw_.size()) {
                    if (!isSpace(raw_[rawAt_++])) return fail();
                }
                bool any = false;
                if (IoError e = more(any); e != IoError::ok) return e;
                if (!any) {
                    state_ = State::done;
                    return IoError::ok;
                }
            }
        }
        std::string text;
        bool ended = false;
        if (IoError e = line(text, ended); e != IoError::ok) return e;
        if (text == kEnd) {
            if (!sawBody_) return fail();
            state_ = State::trailing;
            return IoError::ok;
        }
        // A short line is the last one: only the end may follow it.
        if (state_ == State::afterShort || !ended || text.size() > kColumns) return fail();
        const bool last = text.size() < kColumns || text.back() == '=';
        if (!decodeLine(text, last, out_)) return fail();
        sawBody_ = true;
        if (last) state_ = State::afterShort;
        return IoError::ok;
    }

    std::string raw_;
    size_t rawAt_ = 0;
    AgeSource source_;
    std::shared_ptr<bool> broken_;
    std::string out_;
    size_t at_ = 0;
    State state_ = State::begin;
    bool sawBody_ = false;
};

}  // namespace

bool startsArmored(const char* data, size_t size) {
    size_t at = 0;
    while (at < size && isSpace(data[at])) ++at;
    return size - at >= kBegin.size() && std::memcmp(data + at, kBegin.data(), kBegin.size()) == 0;
}

AgeSource dearmored(std::string head, AgeSource source, std::shared_ptr<bool> broken) {
    auto state = std::make_shared<Dearmor>(std::move(head), std::move(source), std::move(broken));
    return [state](char* buffer, size_t size, size_t& got) { return (*state)(buffer, size, got); };
}

}  // namespace vellumar
