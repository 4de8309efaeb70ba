// What kind of locked item a path is: the marker extension names it, the
// first bytes must fit it.
#include <gtest/gtest.h>

#include "engine/formats/locked_kind.h"
#include "tests/support/temp_folder.h"

namespace vellumar {
namespace {

TEST(LockedKind, TheMarkerExtensionNamesTheKindAndTheStartMustFitIt) {
    const std::string age = "age-encryption.org/v1\n-> X25519 x\n";
    const std::string armor = "-----BEGIN AGE ENCRYPTED FILE-----\n";
    const struct {
        const char* name;
        std::string content;
        LockedKind marked, locked;
    } cases[] = {
        {"a.VKL", "[Secret]whatever", LockedKind::small, LockedKind::small},
        {"a.vkw", "[Secret]", LockedKind::large, LockedKind::large},
        {"a.VKS", age, LockedKind::sealed, LockedKind::sealed},
        {"a.Vks", armor, LockedKind::sealed, LockedKind::sealed},
        // Only the name: a person's own file.
        {"a.VKL", "[Secre", LockedKind::small, LockedKind::none},
        {"a.VKW", "", LockedKind::large, LockedKind::none},
        {"a.VKS", "[Secret]", LockedKind::sealed, LockedKind::none},
        {"a.VKL", age, LockedKind::small, LockedKind::none},
        // Only the content: no locked file of any kind.
        {"a.txt", "[Secret]", LockedKind::none, LockedKind::none},
        {"aVKW", "[Secret]", LockedKind::none, LockedKind::none},
        {"a.VKL.txt", "[Secret]", LockedKind::none, LockedKind::none},
        {"a.age", age, LockedKind::none, LockedKind::none},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << " " << c.content);
        test::TempFolder temp;
        const std::string path = temp.write(c.name, c.content);
        EXPECT_EQ(markedKindOf(path), c.marked);
        EXPECT_EQ(lockedKindOf(path), c.locked);
    }

    // A folder's marker is no file's, and what is not there is no kind.
    test::TempFolder temp;
    temp.write("box.VKL/a.txt", "[Secret]");
    EXPECT_EQ(markedKindOf(temp / "box.VKL/a.txt"), LockedKind::none);
    EXPECT_EQ(lockedKindOf(temp / "box.VKL"), LockedKind::none);
    EXPECT_EQ(lockedKindOf(temp / "gone.VKL"), LockedKind::none);
}

}  // namespace
}  // namespace vellumar
