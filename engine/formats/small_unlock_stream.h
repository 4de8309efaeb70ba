#pragma once
// A small locked file unlocked piece by piece, with every check of the
// unlock as the bytes come: each rule of the format, the header, the shrink.
// The keystream runs on from piece to piece, so memory stays within a piece.

#include <cstddef>
#include <string>

#include "engine/formats/cipher.h"
#include "engine/formats/locked_format.h"

namespace vellumar {

class SmallUnlockStream {
  public:
    // Takes the next bytes of the locked file and appends the plain bytes
    // they give to `plain`. False once a rule is broken or the header does
    // not verify; reader() then tells which.
    bool take(const char* data, size_t size, std::string& plain);
    // The end of the file: appends the last plain bytes. False when the file
    // is not a sound locked file whose header verifies.
    bool finish(std::string& plain);

    const SmallFormatReader& reader() const { return reader_; }

  private:
    SmallFormatReader reader_;
    Cipher cipher_;
    bool keyed_ = false;
    std::string body_;  // characters that wait for the rest of their group of four
};

}  // namespace vellumar
