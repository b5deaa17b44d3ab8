#include "base/text.h"
#include "store/delimited.h"
#include "store/marker_text.h"

#include <gtest/gtest.h>

using namespace tarvimo;
using store::joinDelimited;
using store::splitDelimited;
using L = std::vector<std::string>;

TEST(DelimitedList, ReadingFollowsTheQuotingRules)
{
    const std::string header = text::utf8ToGbk("中文名称"), title = text::utf8ToGbk("标题");
    EXPECT_EQ(splitDelimited(header + "^" + title + "^", '^'), (L{header, title, ""}));
    EXPECT_EQ(splitDelimited("a b,c", ','), (L{"a", "b", "c"})) << "an unquoted blank ends an item";
    EXPECT_EQ(splitDelimited("\"a b\",\"say \"\"hi\"\"\",", ','), (L{"a b", "say \"hi\"", ""}));
    EXPECT_EQ(splitDelimited("  a , b  ", ','), (L{"a", "b"}));
    EXPECT_EQ(splitDelimited("a, ", ','), (L{"a"})) << "only a delimiter as the very last byte adds an item";
    EXPECT_EQ(splitDelimited("", ','), L{});
    EXPECT_EQ(splitDelimited("\"\"", ','), (L{""}));
    EXPECT_EQ(splitDelimited(",,", ','), (L{"", "", ""}));
    EXPECT_EQ(splitDelimited("\"open", ','), (L{"open"})) << "an unclosed quote runs to the end";
    EXPECT_EQ(splitDelimited("\"a\"b,c", ','), (L{"a", "b", "c"}));
    EXPECT_EQ(splitDelimited("a\0b,c", ','), (L{"a"}));
}

TEST(DelimitedList, DoubleByteCharactersAreNeverSplit)
{
    // 0x81 0x5E is one GBK character whose trail byte is '^'.
    const std::string tricky = "x\x81\x5Ey";
    EXPECT_EQ(splitDelimited(tricky + "^z", '^'), (L{tricky, "z"}));
    EXPECT_EQ(joinDelimited({tricky, "z"}, '^'), tricky + "^z") << "no quotes for a trail byte";
    EXPECT_EQ(splitDelimited("\"" + tricky + "\"", '^'), (L{tricky}));
}

TEST(DelimitedList, WritingQuotesOnlyWhatNeedsIt)
{
    EXPECT_EQ(joinDelimited({"a", "b c", "d,e", "q\"q", "tab\t"}, ','), "a,\"b c\",\"d,e\",\"q\"\"q\",\"tab\t\"");
    EXPECT_EQ(joinDelimited({""}, ','), "\"\"");
    EXPECT_EQ(joinDelimited({}, ','), "");
    EXPECT_EQ(joinDelimited({"a", ""}, '^'), "a^");
    // Whatever is written reads back unchanged.
    const L samples[] = {{"a b", "^", "\"", ""}, {"", ""}, {text::utf8ToGbk("广州 公司"), "x^y"}, {"end^"}};
    for (const auto& s : samples)
        EXPECT_EQ(splitDelimited(joinDelimited(s, '^'), '^'), s);
}

TEST(MarkerText, BothDirections)
{
    EXPECT_EQ(store::markerToText("<td>[#13+#10]<b>"), "<td>\r\n<b>");
    EXPECT_EQ(store::markerFromEdit(" <td>\r\n<b> "), "<td>[#13+#10]<b>");
    EXPECT_EQ(store::markerFromEdit("[#13+#10]<td>[#13+#10]"), "<td>") << "tokens go back to line breaks, trimmed";
    EXPECT_EQ(store::markerFromEdit("a[#13+#10]b"), "a\r\nb");
}

TEST(RuleDelimiter, FirstCharacterOrCaret)
{
    EXPECT_EQ(store::ruleDelimiter(""), '^');
    EXPECT_EQ(store::ruleDelimiter("|x"), '|');
}
