#include "directory/keyword_forms.h"

#include "base/text.h"

#include <gtest/gtest.h>

using namespace tarvimo;
using namespace tarvimo::directory;

namespace {

std::string g(std::string_view utf8) { return text::utf8ToGbk(utf8); }

} // namespace

TEST(KeywordForms, BlanksAreKeptInEveryForm)
{
    const std::string k = g("a b  c");
    EXPECT_EQ(encodeKeyword(KeywordForm::GbkPercent, k), "a%20b%20%20c");
    EXPECT_EQ(encodeKeyword(KeywordForm::GbkBareHex, k), "a20b2020c");
    EXPECT_EQ(encodeKeyword(KeywordForm::Utf8Form, k), "a+b++c");
    EXPECT_EQ(encodeKeyword(KeywordForm::BlankUtf8Form, k), "%20a+b++c");
    EXPECT_EQ(encodeKeyword(KeywordForm::Utf16DashHex, k), "-0061-0020-0062-0020-0020-0063");
    EXPECT_EQ(GbkUrlEncode(k, true), "a+b++c");
}

TEST(KeywordForms, ReservedCharactersAreEscapedAsEachFormSays)
{
    const std::string k = "50%&x+y\"'!*()~";
    EXPECT_EQ(GbkUrlEncode(k, false), "50%25%26x%2By%22%27%21%2A%28%29%7E");
    EXPECT_EQ(GbkHexEncode(k), "502526x2By222721" "2A28297E");
    EXPECT_EQ(FormUrlEncode(k), "50%25%26x%2By%22'!*()%7E");
    EXPECT_EQ(Utf16DashHex("%&"), "-0025-0026");
}

TEST(KeywordForms, ChineseInGbkUtf8AndUtf16)
{
    const std::string k = g("中文");  // GBK D6 D0 CE C4
    EXPECT_EQ(GbkUrlEncode(k, false), "%D6%D0%CE%C4");
    EXPECT_EQ(GbkHexEncode(k), "D6D0CEC4");
    EXPECT_EQ(FormUrlEncode(text::gbkToUtf8(k)), "%E4%B8%AD%E6%96%87");
    EXPECT_EQ(Utf16DashHex(k), "-4E2D-6587");
    EXPECT_EQ(Utf16DashHex("ab"), "-0061-0062");
}

TEST(KeywordForms, FourByteCharactersOfGb18030)
{
    // U+20000 (a CJK Extension B character) is four bytes in GB18030: 95 32 82 36.
    const std::string k = g("\xF0\xA0\x80\x80");
    ASSERT_EQ(k, std::string("\x95\x32\x82\x36"));
    EXPECT_EQ(GbkUrlEncode(k, false), "%952%826");
    EXPECT_EQ(GbkHexEncode(k), "952826") << "the bytes that are digits pass as they are";
    EXPECT_EQ(encodeKeyword(KeywordForm::Utf8Form, k), "%F0%A0%80%80");
    EXPECT_EQ(Utf16DashHex(k), "-D840-DC00") << "a surrogate pair";
}
