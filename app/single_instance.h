#pragma once
// One running copy per user: a lock file in a folder of the user's alone
// (instance_folder.h), held while the program runs. A lock whose owner died (a crash) is taken
// over, so a crash never keeps the program from starting again.

#include <QLockFile>
#include <QString>

namespace vellumar {

class SingleInstance {
  public:
    explicit SingleInstance(const QString& name = QStringLiteral("Tessarin"));
    // False when another running instance holds the lock.
    // True also where no private folder can hold the lock: the program then
    // runs unguarded rather than not at all.
    bool acquired() const { return acquired_; }
    // Empty when there is no private folder.
    static QString lockPath(const QString& name);

  private:
    QLockFile lock_;
    bool acquired_ = false;
};

}  // namespace vellumar
