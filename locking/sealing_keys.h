#pragma once
// The keys behind sealed files. The program's identity is kept only in an
// age file that opens with the application password ("identity.age" in the
// application directory); sealing is on once that file exists. A sealed
// folder carries a copy of it in its root, so the folder opens with the
// password alone wherever it is copied. A run holds the identities it may
// unseal with, and the password that opens such copies.

#include <string>
#include <vector>

#include "engine/sealing/age_format.h"
#include "engine/platform/file_system.h"
#include "engine/sealing/sealed_names.h"

namespace vellumar {

std::string identityFilePath();
// The whole text of a key file (the program's own or a folder's copy): a
// regular file of at most 64 KiB, more than any key file of ours holds;
// `unsupported` for anything else.
IoError readKeyFileText(const std::string& path, std::string& text);
// Whether sealing is on: the identity file exists (readable or not).
bool sealingIsOn();
bool isFolderIdentityName(const std::string& fileName);
// Whether the file is the copy of the key that a sealed folder carries: the
// program's own by its name, its content (an age file that only a password
// opens) and its mark (hidden, where the file system keeps that mark), never
// by its name alone: a person's file of that name is locked like any other.
bool isFolderIdentityCopy(const std::string& path);

struct SealingKeys {
    std::vector<AgeIdentity> identities;
    // What opens the copies sealed folders carry; empty: none is tried.
    SecretBytes password;

    bool canUnseal() const { return !identities.empty(); }
    // The recipient new files are sealed for: the first identity's.
    AgeRecipient recipient() const { return identities.front().recipient(); }
    // Adds an identity unless it is held already.
    void add(const AgeIdentity& identity);
};

// The scrypt work factor of identity files written from now on:
// kDefaultScryptLogN. Only tests lower it (10 at the least), so that they
// can make many; the programs never do.
int identityWorkFactor();
void setIdentityWorkFactor(int logN);

// Opens the identity file with `password` (wrongPassword when it does
// not open) and holds its identity.
AgeResult openSealingKeys(std::string_view password, SealingKeys& keys);

// Turns sealing on: makes the identity and its file, which opens with
// `password`. When the file exists already, it is opened instead.
AgeResult turnOnSealing(std::string_view password, SealingKeys& keys);

// Reads a recovery key (an identity file of the age tool, which may hold
// several, or the one line) and holds every identity in it. A file that is
// no regular file of a key's size is refused unread: io, `unsupported`.
AgeResult readRecoveryKey(const std::string& path, SealingKeys& keys);

// Why the file at `path` cannot be a key file, told without following a
// link or opening it.
enum class KeyFileKind { usable, link, notRegular, tooLarge };
KeyFileKind keyFileKind(const std::string& path);

// Places a copy of the identity file in `folder`'s root (hidden and
// read-only), unless one is there already. A person's file that stands
// under its name keeps the copy out: `exists`.
IoError placeFolderIdentity(const std::string& folder);
// Opens the copy in `folder`'s root, if any, with the keys' password and
// holds its identity. ok when there is none; tooCostly when it asks for a
// work factor over the one the program writes (kDefaultScryptLogN).
AgeResult addFolderIdentity(const std::string& folder, SealingKeys& keys);
// Removes the copy from a folder that holds no sealed file any more; a
// person's file of its name stays.
IoError removeFolderIdentity(const std::string& folder);

}  // namespace vellumar
