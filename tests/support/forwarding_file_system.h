#pragma once
// Passes every call to the platform's file system; a test overrides the few
// calls it wants to answer itself (a folder that cannot be listed, a
// made-up drive root).

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "engine/platform/file_system.h"
#include "engine/platform/paths.h"

namespace vellumar::test {

class ForwardingFileSystem : public FileSystem {
  public:
    IoError openRead(const std::string& p, FileHandle& out) override {
        return base().openRead(p, out);
    }
    IoError createNew(const std::string& p, FileHandle& out) override {
        return base().createNew(p, out);
    }
    IoError openAppend(const std::string& p, FileHandle& out) override {
        return base().openAppend(p, out);
    }
    IoError read(FileHandle f, char* b, size_t n, size_t& got) override {
        return base().read(f, b, n, got);
    }
    IoError write(FileHandle f, const char* d, size_t n) override { return base().write(f, d, n); }
    IoError copy(FileHandle from, FileHandle to, uint64_t n) override {
        return base().copy(from, to, n);
    }
    IoError copyPermissions(const std::string& from, FileHandle to) override {
        return base().copyPermissions(from, to);
    }
    IoError copyTimes(const std::string& from, FileHandle to) override {
        return base().copyTimes(from, to);
    }
    IoError useNewFilePermissions(FileHandle f) override { return base().useNewFilePermissions(f); }
    IoError flush(FileHandle f) override { return base().flush(f); }
    IoError close(FileHandle f) override { return base().close(f); }
    IoError flushFolder(const std::string& p) override { return base().flushFolder(p); }
    IoError openVolume(const std::string& p, FileHandle& out) override {
        return base().openVolume(p, out);
    }
    IoError flushVolume(FileHandle v) override { return base().flushVolume(v); }
    IoError rename(const std::string& a, const std::string& b) override {
        return base().rename(a, b);
    }
    IoError replace(const std::string& a, const std::string& b) override {
        return base().replace(a, b);
    }
    IoError removeFile(const std::string& p) override { return base().removeFile(p); }
    IoError removeFolder(const std::string& p) override { return base().removeFolder(p); }
    IoError createFolder(const std::string& p) override { return base().createFolder(p); }
    IoError status(const std::string& p, FileStatus& out) override { return base().status(p, out); }
    IoError getAttributes(const std::string& p, uint32_t& out) override {
        return base().getAttributes(p, out);
    }
    IoError setAttributes(const std::string& p, uint32_t a) override {
        return base().setAttributes(p, a);
    }
    IoError keptAttributes(const std::string& p, uint32_t& out) override {
        return base().keptAttributes(p, out);
    }
    IoError listFolder(const std::string& p, std::vector<FolderEntry>& out) override {
        return base().listFolder(p, out);
    }
    bool takesWindowsNamesOnly(const std::string& p) override {
        return base().takesWindowsNamesOnly(p);
    }
    IoError unmarkTemporary(const std::string& p) override { return base().unmarkTemporary(p); }
    IoError carryPlainTraits(const std::string& p, uint32_t a, FileHandle f) override {
        return base().carryPlainTraits(p, a, f);
    }
    IoError restorePlainTraits(const std::string& p, FileHandle f, uint32_t& a) override {
        return base().restorePlainTraits(p, f, a);
    }

  protected:
    static FileSystem& base() { return platformFileSystem(); }
};

// Refuses to set the hidden mark, as a file the user may not mark; every
// other call passes.
class HidingRefused final : public ForwardingFileSystem {
  public:
    IoError setAttributes(const std::string& p, uint32_t a) override {
        return (a & kAttrHidden) ? IoError::accessDenied : base().setAttributes(p, a);
    }
};

// Another program (a file manager, an editor) adds a line to a folder's
// ".hidden" after the program looked at the list and before its new list
// takes the name: the first temporary made in that folder once the list's
// status was taken brings the edit, once (creating the list if need be).
class ListEditedMeanwhile final : public ForwardingFileSystem {
  public:
    bool edited = false;
    IoError status(const std::string& p, FileStatus& out) override {
        if (!edited && folder_.empty() && getFileName(p) == ".hidden") folder_ = getFolderPart(p);
        return base().status(p, out);
    }
    IoError createTemporary(const std::string& p, const std::string& mark,
                            FileHandle& out) override {
        if (!edited && !folder_.empty() && getFolderPart(p) == folder_) {
            edited = true;
            if (FILE* list = std::fopen((folder_ + ".hidden").c_str(), "ab")) {
                std::fputs("edited\n", list);
                std::fclose(list);
            }
        }
        return base().createTemporary(p, mark, out);
    }

  private:
    std::string folder_;
};

// A folder a run works on while other things happen to it: a person's file
// saved into it at the run's first rename (while its files are being
// locked), a folder whose hidden mark is refused, folders that cannot be
// listed (as folders their user may not enter).
class BusyFolder final : public ForwardingFileSystem {
  public:
    std::string savedMeanwhile, notHiding;
    std::set<std::string> unlistable;
    IoError listRefusal = IoError::accessDenied;
    IoError rename(const std::string& from, const std::string& to) override {
        if (!savedMeanwhile.empty()) {
            FileHandle file = kNoFile;
            if (base().createNew(savedMeanwhile, file) == IoError::ok) base().close(file);
            savedMeanwhile.clear();
        }
        return ForwardingFileSystem::rename(from, to);
    }
    IoError setAttributes(const std::string& p, uint32_t a) override {
        if (p == notHiding && (a & kAttrHidden)) return IoError::accessDenied;
        return ForwardingFileSystem::setAttributes(p, a);
    }
    IoError listFolder(const std::string& p, std::vector<FolderEntry>& out) override {
        if (unlistable.count(p)) return listRefusal;
        return ForwardingFileSystem::listFolder(p, out);
    }
};

// A file system that keeps no hidden mark (a FAT stick through FUSE) and
// says so; every call passes.
class CannotHide final : public ForwardingFileSystem {
  public:
    IoError keptAttributes(const std::string&, uint32_t& out) override {
        out = kAttrReadOnly;
        return IoError::ok;
    }
};

}  // namespace vellumar::test
