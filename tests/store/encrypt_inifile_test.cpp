#include "base/files.h"
#include "base/text.h"
#include "store/encrypt_inifile.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

using namespace tarvimo;
using store::DecryptLine;
using store::EncryptLine;
using store::TEncryptInifile;
using test::TempDir;

namespace {

// Vectors computed with an independent implementation of the line cipher (Python), so a
// mistake in the key schedule or the modulus shows up here.
struct Vector {
    std::string plainUtf8;
    std::string cipher;
};
const Vector kVectors[] = {
    {"[master]", "3c505d7f0ab9ffb3e9"},
    {"taskname=测试", "ffb3f5a8ec9c1d4b48421437fa08"},
    {"a", "00a6"},
    {"url=http://x/?a=1", "c8f98c398e314578108d5c4a3aae0daf1482"},
};

std::string gbk(const std::string& s) { return text::utf8ToGbk(s); }

// Inflates a file with Python's zlib module and prints the payload as hex.
std::string pythonInflateHex(const std::string& path)
{
    int status = 0;
    std::string out = test::runCommand(
        "python3 -c \"import sys,zlib; print(zlib.decompress(open(sys.argv[1],'rb').read()).hex())\" '" + path + "'",
        &status);
    EXPECT_EQ(status, 0) << out;
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

std::string hexOf(const std::string& bytes)
{
    static const char d[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += d[c >> 4];
        out += d[c & 15];
    }
    return out;
}

// Writes a container whose payload holds the given lines enciphered, with Python's zlib.
void writeContainerWithPython(const std::string& path, const std::vector<std::string>& plainLines)
{
    std::string payload;
    for (const auto& l : plainLines)
        payload += (text::trimView(l).empty() ? l : EncryptLine(l, store::storeKey())) + "\r\n";
    TempDir tmp;
    test::writeFile(tmp.file("payload"), payload);
    int status = 0;
    test::runCommand("python3 -c \"import sys,zlib; open(sys.argv[2],'wb').write(zlib.compress(open(sys.argv[1],'rb').read(), 9))\" '" +
                         tmp.file("payload") + "' '" + path + "'",
                     &status);
    ASSERT_EQ(status, 0);
}

} // namespace

TEST(LineCipher, DecryptsVectorsOfAnIndependentImplementation)
{
    for (const auto& v : kVectors)
        EXPECT_EQ(DecryptLine(v.cipher, store::storeKey()), gbk(v.plainUtf8)) << v.cipher;
    EXPECT_EQ(DecryptLine("0723ea", ""), "ab") << "an empty key stands for Kolvar";
    EXPECT_EQ(DecryptLine("3C505D7F0AB9FFB3E9", store::storeKey()), "[master]") << "upper-case digits";
}

TEST(LineCipher, EncryptionRoundTripsWithRandomSeedAndFormat)
{
    const std::string line = gbk("ruledata0=中文名称^标题^");
    std::set<std::string> seen;
    for (int i = 0; i < 40; ++i) {
        std::string c = EncryptLine(line, store::storeKey());
        ASSERT_EQ(c.size(), 2 + 2 * line.size());
        ASSERT_EQ(c.find_first_not_of("0123456789abcdef"), std::string::npos) << c;
        ASSERT_EQ(DecryptLine(c, store::storeKey()), line);
        seen.insert(c);
    }
    EXPECT_GT(seen.size(), 1u) << "the seed must vary between encryptions";

    // Every byte 1..254 survives, whatever the seed.
    std::string all;
    for (int b = 1; b <= 254; ++b)
        all += static_cast<char>(b);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(DecryptLine(EncryptLine(all, "k"), "k"), all);
}

TEST(LineCipher, BadCipherTextIsAConversionError)
{
    EXPECT_THROW(DecryptLine("3c", store::storeKey()), store::ConversionError) << "seed without data";
    EXPECT_THROW(DecryptLine("3c5g", store::storeKey()), store::ConversionError);
    EXPECT_THROW(DecryptLine("zz50", store::storeKey()), store::ConversionError);
    EXPECT_THROW(DecryptLine("", store::storeKey()), store::ConversionError);
    // A trailing single character after whole pairs is ignored.
    EXPECT_EQ(DecryptLine("00a6f", store::storeKey()), "a");
}

TEST(Container, WrittenContainerIsOneZlibStreamReadableByPython)
{
    TempDir dir;
    const std::string path = dir.file("t.tak");
    test::writeFile(path, "");
    {
        TEncryptInifile ini(path);
        EXPECT_FALSE(ini.plainMode()) << "an empty file is an empty container";
        ini.WriteString("master", "taskname", gbk("测试"));
        ini.UpdateFile();
    }
    const std::string bytes = test::readFile(path);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0x78);
    EXPECT_EQ(static_cast<unsigned char>(bytes[1]), 0xDA);

    // Python sees two CR LF terminated cipher lines that decrypt to the section and the key.
    std::string payloadHex = pythonInflateHex(path);
    std::string payload;
    for (std::size_t i = 0; i + 1 < payloadHex.size(); i += 2)
        payload += static_cast<char>(std::stoi(payloadHex.substr(i, 2), nullptr, 16));
    ASSERT_EQ(payload.size() >= 2 ? payload.substr(payload.size() - 2) : "", "\r\n");
    auto crlf = payload.find("\r\n");
    ASSERT_NE(crlf, std::string::npos);
    EXPECT_EQ(DecryptLine(payload.substr(0, crlf), store::storeKey()), "[master]");
    EXPECT_EQ(DecryptLine(payload.substr(crlf + 2, payload.size() - crlf - 4), store::storeKey()),
              "taskname=" + gbk("测试"));
}

TEST(Container, LoadsAContainerMadeByPythonAndIgnoresTrailingBytes)
{
    TempDir dir;
    const std::string path = dir.file("p.tak");
    writeContainerWithPython(path, {"[master]", "taskname=" + gbk("名录"), "", "[url]", "urlbegin= http://a/b"});
    test::writeFile(path, test::readFile(path) + "trailing garbage");
    TEncryptInifile ini(path);
    ASSERT_FALSE(ini.plainMode());
    EXPECT_EQ(ini.lines().size(), 5u);
    EXPECT_EQ(ini.lines()[2], "") << "blank lines stay blank";
    EXPECT_EQ(ini.ReadString("MASTER", " TaskName ", "x"), gbk("名录"));
    EXPECT_EQ(ini.ReadString("url", "urlbegin", ""), " http://a/b") << "a blank after = is kept";
}

TEST(Container, SaveCompressedLinesPayloadIsByteExact)
{
    TempDir dir;
    store::SaveCompressedLines({"one", "", "three"}, dir.file("c"));
    EXPECT_EQ(pythonInflateHex(dir.file("c")), hexOf("one\r\n\r\nthree\r\n"));
    std::vector<std::string> lines;
    store::LoadCompressedLines(dir.file("c"), lines);
    EXPECT_EQ(lines, (std::vector<std::string>{"one", "", "three"}));
}

TEST(Container, LineEndsOfEveryKindSplitLines)
{
    TempDir dir;
    test::writeFile(dir.file("payload"), "a\rb\nc\r\nd");
    test::runCommand("python3 -c \"import zlib; open('" + dir.file("c") + "','wb').write(zlib.compress(open('" +
                     dir.file("payload") + "','rb').read(), 9))\"");
    std::vector<std::string> lines;
    store::LoadCompressedLines(dir.file("c"), lines);
    EXPECT_EQ(lines, (std::vector<std::string>{"a", "b", "c", "d"}));
}

TEST(EncryptedStore, LookupAndWriteQuirks)
{
    TempDir dir;
    const std::string path = dir.file("q.tak");
    writeContainerWithPython(path, {"[master]", "taskname=T", "Cookie =x", "[url]", "urlbegin=http://h/",
                                    "[schedule]", "data1=s1", "[SuperSet]", "data1=x1", "DATA2=ABC"});
    TEncryptInifile ini(path);

    // A blank between key and "=" is not found.
    EXPECT_EQ(ini.ReadString("master", "Cookie", "def"), "def");
    // The key search runs past the next header: a key missing from its section is found later.
    EXPECT_EQ(ini.ReadString("master", "urlbegin", ""), "http://h/");
    EXPECT_EQ(ini.ReadString("schedule", "data1", ""), "s1");
    EXPECT_EQ(ini.ReadString("schedule", "data2", ""), "ABC") << "letter case of the value is kept";
    // A header with blanks around it does not match.
    EXPECT_EQ(ini.ReadString("nosuch", "taskname", "d"), "d");

    // Existing key: rewritten lower-cased in place.
    ini.WriteString("MASTER", "TaskName", "New");
    EXPECT_EQ(ini.lines()[1], "taskname=New");
    // Missing key of a present section: inserted right below the header, caller's spelling.
    ini.WriteString("url", "URLinc", "2");
    EXPECT_EQ(ini.lines()[4], "URLinc=2");
    // Missing section: on top, header lower-cased, key as spelled.
    ini.WriteString("Rule", "ruleSplit", "^");
    EXPECT_EQ(ini.lines()[0], "[rule]");
    EXPECT_EQ(ini.lines()[1], "ruleSplit=^");
    // Values are written unchanged, blanks included; a line end cannot split the line.
    ini.WriteString("rule", "rulemidstr", "  a b  ");
    EXPECT_EQ(ini.ReadString("rule", "rulemidstr", ""), "  a b") << "the line is trimmed, blanks after = stay";
    ini.WriteString("rule", "x", "one\r\n[evil]\r\ny=1");
    EXPECT_EQ(ini.ReadString("evil", "y", "absent"), "absent");
    ini.UpdateFile();

    TEncryptInifile again(path);
    EXPECT_EQ(again.ReadString("master", "taskname", ""), "New");
    EXPECT_EQ(again.ReadString("url", "urlinc", ""), "2");
    EXPECT_EQ(again.lines()[0], "[rule]");
}

TEST(EncryptedStore, IntegerAndBooleanReads)
{
    TempDir dir;
    const std::string path = dir.file("b.tak");
    writeContainerWithPython(path, {"[s]", "m1=-1", "two=2", "t=TRUE", "z=0", "f=false", "w=yes", "hex=0x10",
                                    "sp= 7", "big=99999999999"});
    TEncryptInifile ini(path);
    EXPECT_TRUE(ini.ReadBool("s", "m1", false));
    EXPECT_TRUE(ini.ReadBool("s", "two", false));
    EXPECT_TRUE(ini.ReadBool("s", "t", false));
    EXPECT_FALSE(ini.ReadBool("s", "z", true));
    EXPECT_FALSE(ini.ReadBool("s", "f", true));
    EXPECT_TRUE(ini.ReadBool("s", "w", true)) << "another word leaves the default";
    EXPECT_FALSE(ini.ReadBool("s", "w", false));
    EXPECT_EQ(ini.ReadInteger("s", "two", 9), 2);
    EXPECT_EQ(ini.ReadInteger("s", "hex", 9), 9) << "the container reads decimal only";
    EXPECT_EQ(ini.ReadInteger("s", "sp", 9), 7);
    EXPECT_EQ(ini.ReadInteger("s", "big", 9), 9) << "out of range gives the default";
    EXPECT_EQ(ini.ReadInteger("s", "missing", 5), 5);
}

TEST(EncryptedStore, PlainTextFilesOpenInPlainModeAndWriteThrough)
{
    TempDir dir;
    const std::string path = dir.file("plain.tak");
    test::writeFile(path, "[master]\r\ntaskname=" + gbk("任务") + "\r\ntasktypes=2\r\n");
    {
        TEncryptInifile ini(path);
        ASSERT_TRUE(ini.plainMode());
        EXPECT_TRUE(ini.lines().empty());
        EXPECT_EQ(ini.ReadString("Master", "TASKNAME", ""), gbk("任务"));
        EXPECT_EQ(ini.ReadInteger("master", "tasktypes", 0), 2);
        ini.WriteInteger("master", "NowNO", 17);
    }
    EXPECT_EQ(test::readFile(path), "[master]\r\ntaskname=" + gbk("任务") + "\r\ntasktypes=2\r\nNowNO=17\r\n");

    TEncryptInifile missing(dir.file("none.tak"));
    EXPECT_TRUE(missing.plainMode());
    EXPECT_EQ(missing.ReadString("a", "b", "dflt"), "dflt");
}

TEST(EncryptedStore, SavingWithoutWritesLeavesTheFileUntouched)
{
    TempDir dir;
    const std::string path = dir.file("u.tak");
    writeContainerWithPython(path, {"[master]", "taskname=x"});
    const std::string before = test::readFile(path);
    struct stat st1 {};
    ::stat(path.c_str(), &st1);
    {
        TEncryptInifile ini(path);
        EXPECT_EQ(ini.ReadString("master", "taskname", ""), "x");
        ini.UpdateFile();
    }
    struct stat st2 {};
    ::stat(path.c_str(), &st2);
    EXPECT_EQ(test::readFile(path), before);
    EXPECT_EQ(st1.st_ino, st2.st_ino) << "the file was not rewritten";
}

TEST(EncryptedStore, EmptyContainerWithOneWrite)
{
    TempDir dir;
    const std::string path = dir.file("e.tak");
    test::writeFile(path, "");
    {
        TEncryptInifile ini(path);
        ini.WriteString("Url", "urlbegin", "http://x/");
    }  // destruction saves
    TEncryptInifile again(path);
    ASSERT_FALSE(again.plainMode());
    EXPECT_EQ(again.lines(), (std::vector<std::string>{"[url]", "urlbegin=http://x/"}));
}

TEST(EncryptedStore, HostileFilesGiveCleanResults)
{
    TempDir dir;
    // Random bytes: not a zlib stream, so plain mode with defaults.
    std::mt19937 rng(7);
    std::string noise(100000, '\0');
    for (auto& c : noise)
        c = static_cast<char>(rng());
    test::writeFile(dir.file("noise.tak"), noise);
    {
        TEncryptInifile ini(dir.file("noise.tak"));
        EXPECT_TRUE(ini.plainMode());
        EXPECT_EQ(ini.ReadInteger("master", "tasktypes", 4), 4);
    }

    // 50 MB of noise: still plain mode, still defaults, and the store stays usable.
    noise.resize(50u << 20);
    for (std::size_t i = 100000; i < noise.size(); ++i)
        noise[i] = static_cast<char>(rng());
    test::writeFile(dir.file("huge.tak"), noise);
    {
        TEncryptInifile ini(dir.file("huge.tak"));
        EXPECT_TRUE(ini.plainMode());
        EXPECT_EQ(ini.ReadString("url", "urlbegin", "none"), "none");
    }

    // A 100 000-byte line and a 6000-byte value in a container are read whole.
    const std::string longValue(100000, 'v');
    writeContainerWithPython(dir.file("long.tak"), {"[s]", "k=" + longValue});
    EXPECT_EQ(TEncryptInifile(dir.file("long.tak")).ReadString("s", "k", ""), longValue);
}

TEST(EncryptedStore, WriteFailureReachesTheCallerAndKeepsTheOldFile)
{
    TempDir dir;
    const std::string path = dir.file("t.tak");
    writeContainerWithPython(path, {"[master]", "taskname=old"});
    const std::string before = test::readFile(path);
    TEncryptInifile ini(path);
    std::mt19937 rng(3);
    std::string big;
    for (int i = 0; i < 20000; ++i)
        big += static_cast<char>('a' + rng() % 26);
    ini.WriteString("master", "taskname", big);
    {
        test::FileSizeLimit full(before.size() + 64);  // the disk "fills up" during the write
        EXPECT_THROW(ini.UpdateFile(), files::FileError);
    }
    EXPECT_EQ(test::readFile(path), before);
    EXPECT_EQ(test::runCommand("ls " + dir.path()), "t.tak\n") << "no temporary file is left behind";
}

namespace {

// The message of the exception a store of 'path' throws, or "" when it opens.
template <typename Error>
std::string openingError(const std::string& path)
{
    try {
        TEncryptInifile ini(path);
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

} // namespace

TEST(EncryptedStore, DamagedContainerIsRefusedAndLeftAsItIs)
{
    TempDir dir;
    const std::string good = dir.file("good.tak");
    store::SaveCompressedLines({EncryptLine("[master]", store::storeKey()), EncryptLine("taskname=abc", store::storeKey())},
                               good);
    const std::string bytes = test::readFile(good);

    // The first half of a container: the stream ends before its end.
    const std::string cut = dir.file("cut.tak");
    test::writeFile(cut, bytes.substr(0, bytes.size() / 2));
    EXPECT_EQ(openingError<store::ContainerError>(cut),
              cut + ": damaged task container (the compressed data ends early)");
    // Only the two header bytes.
    const std::string header = dir.file("header.tak");
    test::writeFile(header, bytes.substr(0, 2));
    EXPECT_EQ(openingError<store::ContainerError>(header),
              header + ": damaged task container (the compressed data ends early)");
    // A whole stream whose check sum does not match its data.
    const std::string sum = dir.file("sum.tak");
    std::string wrongSum = bytes;
    wrongSum.back() = static_cast<char>(wrongSum.back() ^ 1);
    test::writeFile(sum, wrongSum);
    const std::string corrupt = openingError<store::ContainerError>(sum);
    EXPECT_TRUE(corrupt.starts_with(sum + ": damaged task container (the compressed data is corrupt")) << corrupt;

    // Nothing was written over any of them.
    EXPECT_EQ(test::readFile(cut), bytes.substr(0, bytes.size() / 2));
    EXPECT_EQ(test::readFile(header), bytes.substr(0, 2));
    EXPECT_EQ(test::readFile(sum), wrongSum);
}

TEST(EncryptedStore, OnlyAZlibHeaderMakesAFileAContainer)
{
    TempDir dir;
    auto plainAfterWrite = [&](const std::string& name, const std::string& content) {
        const std::string path = dir.file(name);
        test::writeFile(path, content);
        TEncryptInifile ini(path);
        EXPECT_TRUE(ini.plainMode()) << name;
        ini.WriteString("s", "k", "v");
        EXPECT_EQ(ini.ReadString("s", "k", ""), "v") << name;
    };
    plainAfterWrite("ini.tak", "[master]\r\ntaskname=x\r\n");
    plainAfterWrite("check.tak", "xyz=1\r\n");          // 'x' opens a stream only with a matching second byte
    plainAfterWrite("dictionary.tak", "x?garbage\r\n");  // a header asking for a preset dictionary
    plainAfterWrite("window.tak", "\x88\x1C garbage");   // a window larger than zlib's largest
    EXPECT_TRUE(TEncryptInifile(dir.file("missing.tak")).plainMode());

    // A valid header ('x' '^') before anything else: a damaged container.
    test::writeFile(dir.file("x.tak"), "x^garbage");
    EXPECT_THROW(TEncryptInifile{dir.file("x.tak")}, store::ContainerError);
}

TEST(EncryptedStore, BadCipherLineIsNamedWithFileAndLine)
{
    TempDir dir;
    const std::string path = dir.file("bad.tak");
    // INI text compressed without enciphering its lines; the blank line is counted.
    store::SaveCompressedLines({EncryptLine("[master]", store::storeKey()), "", "[master]", "taskname=x"}, path);
    EXPECT_EQ(openingError<store::ConversionError>(path),
              path + ": line 3 is not valid cipher text ('[m' is not a valid integer value)");
}
