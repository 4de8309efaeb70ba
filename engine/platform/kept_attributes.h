#pragma once
// An unlock clears the attributes of its source first, so that the source
// can be removed or replaced. A file the unlock then leaves (a failure
// after that point) gets its own attributes back: it stays exactly as it was.

#include <cstdint>
#include <string>
#include <utility>

#include "engine/platform/file_system.h"

namespace vellumar {

class ClearedAttributes {
  public:
    explicit ClearedAttributes(std::string path) : path_(std::move(path)) {}
    ~ClearedAttributes() {
        if (cleared_ && before_ != kAttrNormal) fileSystem().setAttributes(path_, before_);
    }
    ClearedAttributes(const ClearedAttributes&) = delete;
    ClearedAttributes& operator=(const ClearedAttributes&) = delete;

    IoError clear() {
        if (IoError e = fileSystem().getAttributes(path_, before_); e != IoError::ok) return e;
        cleared_ = true;  // a half-done change is undone too
        return fileSystem().setAttributes(path_, kAttrNormal);
    }
    // The unlock went through: the source is gone, or goes with its batch.
    void keepCleared() { cleared_ = false; }

  private:
    std::string path_;
    uint32_t before_ = kAttrNormal;
    bool cleared_ = false;
};

}  // namespace vellumar
