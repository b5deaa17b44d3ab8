#include "base/files.h"
#include "base/text.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace tarvimo;

TEST(TextConversion, Utf8AndGbkRoundTripLosslessly)
{
    EXPECT_EQ(text::utf8ToGbk("中文"), "\xD6\xD0\xCE\xC4");
    EXPECT_EQ(text::gbkToUtf8("\xD6\xD0\xCE\xC4"), "中文");
    // Characters outside GBK survive through GB18030's four-byte forms.
    for (std::string s : {"€ 𝄞 한국어 ☃", "plain ascii", "青柳", ""})
        EXPECT_EQ(text::gbkToUtf8(text::utf8ToGbk(s)), s);
    EXPECT_EQ(text::utf8ToGbk("a\xFF" "b"), "a?b") << "invalid UTF-8 becomes a question mark";
    EXPECT_EQ(text::gbkToUtf8("a\x81"), "a\xEF\xBF\xBD") << "a lone lead byte at the end";
    EXPECT_EQ(text::gbk("公司"), text::utf8ToGbk("公司"));
}

TEST(TextConversion, StrayLeadByteBecomesOneReplacementAndNeverTakesTheNextByte)
{
    const std::string bad = "\xEF\xBF\xBD";
    // Tab, line ends and the next field survive a field that ends in a lead byte, in the
    // middle of a text as at its end and after a cut four-byte form.
    EXPECT_EQ(text::gbkToUtf8("a\xB0\tb\xB0\r\nc\xB0"), "a" + bad + "\tb" + bad + "\r\nc" + bad);
    EXPECT_EQ(text::gbkToUtf8("\x81\x30\x81\t1\r\n"), bad + "0" + bad + "\t1\r\n");
    // A lead byte before a printable byte of the trail range is a character: a delimiter
    // such as '^' right after it is taken into it, so joined fields are converted one by one.
    EXPECT_EQ(text::gbkToUtf8("\xB0^"), "\xE7\x99\xAA");
}

TEST(TextConversion, Big5ToGbk)
{
    // "中文" in Big5 is A4 A4 A4 E5; "臺灣" (traditional) maps to its GBK form.
    EXPECT_EQ(text::big5ToGbk("\xA4\xA4\xA4\xE5"), text::utf8ToGbk("中文"));
    EXPECT_EQ(text::gbkToUtf8(text::big5ToGbk("\xBB\x4F\xC6\x57")), "臺灣");
    EXPECT_EQ(text::big5ToGbk("ok\xFF"), "ok") << "bytes that are no Big5 are dropped";
}

TEST(TextTrim, BlanksAndControlBytesAtBothEnds)
{
    EXPECT_EQ(text::trim(" \t\r\n\x01 a b \x1f\x00"), "a b");
    EXPECT_EQ(text::trim("   "), "");
    EXPECT_EQ(text::trim("\xD6\xD0 "), "\xD6\xD0");
}

TEST(TextCase, FoldingNeverTouchesDoubleByteCharacters)
{
    // 0x81 0x41 is one character whose trail byte is 'A'.
    const std::string dbcs = "\x81\x41";
    EXPECT_EQ(text::toLower("ABC" + dbcs + "D"), "abc" + dbcs + "d");
    EXPECT_EQ(text::toUpper("abc" + dbcs), "ABC" + dbcs);
    EXPECT_TRUE(text::equalsNoCase("Charset=UTF-8", "charset=utf-8"));
    EXPECT_FALSE(text::equalsNoCase("\x81\x41", "\x81\x61"));
    EXPECT_TRUE(text::startsWithNoCase("HTTP://x", "http://"));
    EXPECT_TRUE(text::endsWithNoCase("a.TAK", ".tak"));
}

TEST(TextSearch, MatchesOnlyAtCharacterBoundaries)
{
    const std::string hay = "x\x81\x41y A";
    EXPECT_EQ(text::findNoCase(hay, "a"), 5u) << "the trail byte 'A' is not a match";
    EXPECT_EQ(text::findChar(hay, "A"), 5u);
    EXPECT_EQ(text::findNoCase("<TD>a<td>", "<td>", 1), 5u);
    EXPECT_EQ(text::findNoCase("abc", ""), 0u);
    EXPECT_EQ(text::findNoCase("abc", "", 3), 3u);
    EXPECT_EQ(text::findNoCase("abc", "x", 4), std::string::npos);
    EXPECT_EQ(text::findNoCase("ab", "abc"), std::string::npos);
    EXPECT_EQ(text::findChar("\x81\x41\x41", "A", 2), 2u);
    // A GB18030 four-byte character hides its digits; a stray lead byte hides nothing.
    EXPECT_EQ(text::findChar("\x81\x30\x81\x30" "0", "0"), 4u);
    EXPECT_EQ(text::charLen("\x81\"", 0), 1u);
    EXPECT_EQ(text::findChar("\x81,", ","), 1u);
    EXPECT_EQ(text::replaceAll("a-b-c", "-", "+"), "a+b+c");
    EXPECT_EQ(text::replaceAllNoCase("Tab tAB", "tab", "x"), "x x");
    EXPECT_EQ(text::replaceAll("\x81\x41" "A", "A", "b"), "\x81\x41" "b");
}

TEST(TextNumbers, ParseInt32)
{
    int v = 0;
    EXPECT_TRUE(text::parseInt32(" 42", v, false));
    EXPECT_EQ(v, 42);
    EXPECT_TRUE(text::parseInt32("-2147483648", v, false));
    EXPECT_EQ(v, INT32_MIN);
    EXPECT_FALSE(text::parseInt32("2147483648", v, false));
    EXPECT_FALSE(text::parseInt32("42 ", v, false));
    EXPECT_FALSE(text::parseInt32("", v, false));
    EXPECT_FALSE(text::parseInt32("-", v, false));
    EXPECT_FALSE(text::parseInt32("0x10", v, false));
    EXPECT_TRUE(text::parseInt32("0x1f", v, true));
    EXPECT_EQ(v, 31);
    EXPECT_TRUE(text::parseInt32("0XFFFFFFFF", v, true));
    EXPECT_EQ(v, -1);
    EXPECT_FALSE(text::parseInt32("0x100000000", v, true));
}

TEST(AtomicWrite, ReplacesWholeAndKeepsPermissions)
{
    test::TempDir dir;
    const std::string path = dir.file("a/b/c.txt");
    files::writeAtomic(path, "one", 0600);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ::chmod(path.c_str(), 0640);
    files::writeAtomic(path, "two", 0600);
    ::stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u) << "an existing file keeps its mode";
    EXPECT_EQ(files::readAll(path), "two");
    EXPECT_THROW(files::readAll(dir.file("missing")), files::FileError);
}
