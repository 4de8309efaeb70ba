#pragma once
// The window's password dialogs after the gate's own page: the key file
// restored from the recovery key, and File > Change Password.... Each asks
// through the desktop port and says what happened in the window's words.

#include "app/settings_store.h"
#include "engine/runs/desktop.h"
#include "locking/sealing_keys.h"

namespace vellumar {

// After "The Key File ... Is Missing": the recovery key and a new password
// restore it. True when restored: the gate opens, `sessionKeys` hold the keys.
bool restoreKeyFromRecoveryKey(Desktop& desktop, SettingsStore& settings, SealingKeys& sessionKeys);

// The current password, the new one twice. Sealed folders this session
// opens take the new password from then on.
void askToChangePassword(Desktop& desktop, SettingsStore& settings, SealingKeys& sessionKeys);

}  // namespace vellumar
