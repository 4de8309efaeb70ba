// The small format's reader sees a file in pieces of whatever size the
// reads return: its verdict, the fault it names and the body it hands on
// must never depend on where the pieces begin.
#include "engine/formats/locked_format.h"

#include <gtest/gtest.h>

#include "engine/formats/small_file.h"
#include "tests/engine/formats/lock_fixture.h"

namespace vellumar {
namespace {

// The body counts only for a sound file: a damaged one is never unlocked.
struct Read {
    FormatFault fault;
    std::string header, body;
    bool operator==(const Read&) const = default;
};

Read readInPieces(const std::string& text, size_t piece) {
    SmallFormatReader reader;
    std::string body;
    for (size_t at = 0; at < text.size(); at += piece)
        if (!reader.take(text.data() + at, std::min(piece, text.size() - at), &body)) break;
    if (!reader.finish()) body.clear();
    return {reader.fault(), reader.header(), body};
}

TEST(SmallFormatReader, PiecesOfAnySizeReadAsTheWholeFile) {
    std::vector<std::string> texts;
    for (size_t length : {0, 1, 52, 53, 200}) {
        test::TempFolder temp;
        test::ScriptedDesktop desktop;
        ASSERT_TRUE(lockSmallFile(temp.write("report.txt", test::patternBytes(length)), desktop).done());
        const std::string sound = test::readFile(temp / "ercbeg.gkt.VKL");
        texts.push_back(sound);
        texts.push_back(sound + "A");
        texts.push_back(sound.substr(0, sound.size() - 1));
        for (size_t at : {24, 25, 26, 60, 95, 96, 97}) {
            if (at >= sound.size()) continue;
            for (char c : {'\r', '\n', '!', '{', 'A'}) {
                std::string changed = sound;
                changed[at] = c;
                texts.push_back(changed);
            }
            texts.push_back(std::string(sound).erase(at, 1));
            // Two faults: the first one met is named.
            std::string twice = sound;
            twice[at] = '!';
            twice[std::min(at + 30, sound.size() - 2)] = '\n';
            texts.push_back(twice);
            // Built from its two halves: GCC 12 sees a false overlap in insert().
            texts.push_back(sound.substr(0, at) + '\n' + sound.substr(at));
        }
    }
    for (const std::string& text : texts) {
        const Read whole = readInPieces(text, text.size() + 1);
        for (size_t piece : {1, 2, 3, 4, 70, 71, 72, 73, 100}) {
            SCOPED_TRACE(testing::Message() << text.size() << " bytes in pieces of " << piece);
            EXPECT_EQ(readInPieces(text, piece), whole);
        }
    }
}

}  // namespace
}  // namespace vellumar
