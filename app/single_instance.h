#pragma once
// One running copy per user: a lock file in the per-user runtime folder,
// held while the program runs. A lock whose owner died (a crash) is taken
// over, so a crash never keeps the program from starting again.

#include <QLockFile>
#include <QString>

namespace vellumar {

class SingleInstance {
  public:
    explicit SingleInstance(const QString& name = QStringLiteral("Tessarin"));
    // False when another running instance holds the lock.
    bool acquired() const { return acquired_; }
    static QString lockPath(const QString& name);

  private:
    QLockFile lock_;
    bool acquired_ = false;
};

}  // namespace vellumar
