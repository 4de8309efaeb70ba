#pragma once
// A model with the target page of one operation in front.

#include "app/window_model.h"

namespace vellumar::test {

// As the gate, the operation's option button and Next leave it.
inline void openTargetPage(WindowModel& model, Option operation) {
    model.wizard.passGate();
    model.wizard.choose(operation);
    model.wizard.next();
}

}  // namespace vellumar::test
