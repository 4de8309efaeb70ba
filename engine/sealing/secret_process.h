#pragma once
// Called first thing by both programs, before any secret is read: the
// process holds the password and the identity's key while it runs, and a
// core dump (or another process of the user attaching to it) would hand
// them over as plain bytes.

namespace vellumar {

// Turns core dumps off (RLIMIT_CORE 0, and not dumpable, which also keeps
// other processes of the user from attaching to read its memory) and sets up
// the secure memory that secrets are kept in. Best effort: a system that
// refuses any step does not stop the program.
void protectProcessSecrets();

}  // namespace vellumar
