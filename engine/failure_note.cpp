#include "engine/failure_note.h"

namespace vellumar {
namespace {

thread_local IoError noted = IoError::ok;

}  // namespace

void noteFailure(IoError error) {
    noted = error;
}

IoError takeNotedFailure() {
    const IoError error = noted;
    noted = IoError::ok;
    return error;
}

}  // namespace vellumar
