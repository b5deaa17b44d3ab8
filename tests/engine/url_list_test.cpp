#include "base/text.h"
#include "engine/url_list.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace tarvimo;
using namespace tarvimo::engine;
using Urls = std::vector<std::string>;

namespace {

std::string numbered(int i) { return "http://127.0.0.1/company/" + std::to_string(i) + ".html"; }

} // namespace

TEST(UrlList, EqualityIgnoresAsciiCaseButNotDoubleByteCharacters)
{
    struct Pair {
        std::string stored, probe;
        bool equal;
    };
    const Pair pairs[] = {
        {"http://127.0.0.1/List.asp?ID=7", "HTTP://127.0.0.1/list.ASP?id=7", true},
        // 0x41 and 0x61 are trail bytes here: two different characters.
        {"http://127.0.0.1/\xC4\x41", "http://127.0.0.1/\xC4\x61", false},
        // A lead byte before a '/' stands alone, so the letter after the '/' is a letter.
        {"http://127.0.0.1/\xC4/A", "http://127.0.0.1/\xC4/a", true},
        // After a four-byte character the next byte starts a character of its own.
        {"http://127.0.0.1/\x81\x30\x81\x30Q", "http://127.0.0.1/\x81\x30\x81\x30q", true},
        {"http://127.0.0.1/a", "http://127.0.0.1/a/", false},
    };
    for (const auto& p : pairs) {
        SCOPED_TRACE(p.probe);
        ASSERT_EQ(text::equalsNoCase(p.stored, p.probe), p.equal) << "the table must follow the text rules";
        UrlList list;
        ASSERT_TRUE(list.add(p.stored));
        EXPECT_EQ(list.contains(p.probe), p.equal);
        EXPECT_EQ(list.add(p.probe), !p.equal);
        EXPECT_EQ(list.size(), p.equal ? 1u : 2u);
    }
}

TEST(UrlList, AppendKeepsRepeatsAndTheIndexStillFindsThem)
{
    UrlList list;
    list.append("http://127.0.0.1/A");
    list.append("http://127.0.0.1/a");
    list.append("http://127.0.0.1/A");
    EXPECT_EQ(list.items(), (Urls{"http://127.0.0.1/A", "http://127.0.0.1/a", "http://127.0.0.1/A"}));
    EXPECT_FALSE(list.add("HTTP://127.0.0.1/a"));
    // Growing the index past several rehashes must not lose the address or the repeats.
    for (int i = 0; i < 1000; ++i)
        list.append(numbered(i));
    EXPECT_TRUE(list.contains("http://127.0.0.1/a"));
    EXPECT_FALSE(list.add("http://127.0.0.1/A"));
    EXPECT_EQ(list.size(), 1003u);
}

TEST(UrlList, GrowthKeepsEveryAddressFindable)
{
    constexpr int kCount = 200'000;
    UrlList list;
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(list.add(numbered(i)));
    list.reserve(50);  // a rehash of a filled index, before the many growth steps below
    for (int i = 10; i < kCount; ++i)
        ASSERT_TRUE(list.add(numbered(i))) << i;
    ASSERT_EQ(list.size(), std::size_t(kCount));
    for (int i = 0; i < kCount; ++i) {
        std::string upper = text::toUpper(numbered(i));
        ASSERT_TRUE(list.contains(upper)) << i;
        ASSERT_EQ(list[i], numbered(i));
    }
    EXPECT_FALSE(list.contains(numbered(kCount)));
    EXPECT_FALSE(list.add(numbered(kCount / 2)));
    EXPECT_EQ(list.size(), std::size_t(kCount));
}

TEST(UrlList, CopiesAndMovesCarryAWorkingIndex)
{
    UrlList source;
    for (int i = 0; i < 100; ++i)
        source.add(numbered(i));

    UrlList copy(source);
    EXPECT_TRUE(copy.add("http://127.0.0.1/only-in-copy"));
    EXPECT_FALSE(copy.add(numbered(42)));
    EXPECT_FALSE(source.contains("http://127.0.0.1/only-in-copy")) << "a copy has its own index";

    UrlList assigned;
    assigned.add("http://127.0.0.1/before");
    assigned = source;
    EXPECT_FALSE(assigned.contains("http://127.0.0.1/before")) << "assignment replaces the old index";
    EXPECT_TRUE(assigned.contains(numbered(99)));

    UrlList moved(std::move(copy));
    EXPECT_EQ(moved.size(), 101u);
    EXPECT_TRUE(moved.contains("HTTP://127.0.0.1/ONLY-IN-COPY"));
    EXPECT_FALSE(moved.add(numbered(0)));

    UrlList target;
    target.add("http://127.0.0.1/before");
    target = std::move(moved);
    EXPECT_FALSE(target.contains("http://127.0.0.1/before"));
    EXPECT_TRUE(target.add("http://127.0.0.1/after-move"));
    EXPECT_TRUE(target.contains(numbered(7)));
}

TEST(UrlList, ClearEmptiesListAndIndex)
{
    UrlList list;
    for (int i = 0; i < 100; ++i)
        list.add(numbered(i));
    list.clear();
    EXPECT_TRUE(list.empty());
    EXPECT_FALSE(list.contains(numbered(5)));
    EXPECT_TRUE(list.add(numbered(5)));
    EXPECT_FALSE(list.add(numbered(5)));
    EXPECT_EQ(list.items(), (Urls{numbered(5)}));
}
