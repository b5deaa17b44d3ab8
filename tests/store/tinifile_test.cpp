#include "base/files.h"
#include "base/text.h"
#include "store/encrypt_inifile.h"
#include "store/tinifile.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sys/stat.h>

using namespace tarvimo;
using store::TIniFile;
using test::TempDir;

TEST(PlainStore, ReadsIgnoreCaseAndBlanks)
{
    TempDir dir;
    const std::string path = dir.file("DefaultSet.ini");
    test::writeFile(path, "; comment\r\n[urlType]\r\n  TimeOut  =  25  \r\nthreadCount=0x10\r\nbad=12a\r\n"
                          "neg=-3\r\n[Proxy]\nUseProxy=1\nservername=" + text::utf8ToGbk("代理") + "\n"
                          "[proxy]\nport=1\n[long]\nv=" + std::string(6000, 'x') + "\n");
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadInteger("urltype", "timeout", 60), 25);
    EXPECT_EQ(ini.ReadString(" URLTYPE ", "timeout", ""), "25");
    EXPECT_EQ(ini.ReadInteger("urltype", "threadcount", 3), 16) << "0x means hexadecimal";
    EXPECT_EQ(ini.ReadInteger("urltype", "bad", 3), 3);
    EXPECT_EQ(ini.ReadInteger("urltype", "neg", 3), -3);
    EXPECT_TRUE(ini.ReadBool("proxy", "useproxy", false));
    EXPECT_TRUE(ini.ReadBool("urltype", "neg", false)) << "any non-zero integer is true";
    EXPECT_FALSE(ini.ReadBool("urltype", "bad", false)) << "a word is no integer: the default";
    EXPECT_EQ(ini.ReadString("proxy", "servername", ""), text::utf8ToGbk("代理"));
    EXPECT_EQ(ini.ReadInteger("proxy", "port", 8080), 8080) << "the first section of a name wins";
    EXPECT_TRUE(ini.ReadString("long", "v", "") == std::string(6000, 'x')) << "a long value is read whole";
    EXPECT_EQ(ini.ReadString("missing", "v", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"urlType", "Proxy", "proxy", "long"}));
    EXPECT_EQ(ini.ReadSection("urltype"), (std::vector<std::string>{"TimeOut", "threadCount", "bad", "neg"}));
}

TEST(PlainStore, WritesKeepTheRestOfTheFileAndTakeEffectAtOnce)
{
    TempDir dir;
    const std::string path = dir.file("t.ini");
    test::writeFile(path, "[a]\r\nx=1\r\n\r\n[b]\r\ny=2\r\n");
    TIniFile writer(path);
    TIniFile reader(path);
    EXPECT_EQ(reader.ReadString("a", "x", ""), "1");
    writer.WriteString("A", "X", "one");
    writer.WriteInteger("a", "z", 5);
    writer.WriteBool("c", "flag", true);
    writer.WriteString("b", "y", "line1\r\nline2");
    EXPECT_EQ(test::readFile(path), "[a]\r\nx=one\r\nz=5\r\n\r\n[b]\r\ny=line1  line2\r\n\r\n[c]\r\nflag=1\r\n");
    EXPECT_EQ(reader.ReadString("a", "x", ""), "one") << "another store on the same file sees the write";
    EXPECT_EQ(reader.ReadInteger("a", "z", 0), 5);
}

TEST(PlainStore, NewFileGetsItsModeAndAFailedWriteKeepsTheOldFile)
{
    TempDir dir;
    const std::string path = dir.file("sub/DefaultSet.ini");
    TIniFile ini(path, 0600);
    ini.WriteString("proxy", "password", "secret");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    const std::string before = test::readFile(path);
    {
        test::FileSizeLimit full(before.size() + 4);
        try {
            ini.WriteString("proxy", "username", std::string(1000, 'u'));
            ADD_FAILURE() << "the write should have failed";
        } catch (const files::FileError& e) {
            EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
        }
    }
    EXPECT_EQ(test::readFile(path), before);
    EXPECT_EQ(test::runCommand("ls " + dir.file("sub")), "DefaultSet.ini\n");

    // A parent that is a file cannot hold the settings: the same error.
    test::writeFile(dir.file("plainfile"), "x");
    TIniFile bad(dir.file("plainfile/x.ini"));
    EXPECT_THROW(bad.WriteString("a", "b", "c"), files::FileError);
}

TEST(PlainStore, HostileFilesReadAsDefaults)
{
    TempDir dir;
    std::string junk;
    for (int i = 0; i < 300000; ++i)
        junk += static_cast<char>((static_cast<unsigned>(i) * 7919u) % 256u);
    test::writeFile(dir.file("junk.ini"), junk);
    TIniFile ini(dir.file("junk.ini"));
    EXPECT_EQ(ini.ReadInteger("proxy", "port", 8080), 8080);
    // A 100 000-byte line is one line; keys around it still resolve.
    test::writeFile(dir.file("l.ini"), "[s]\r\n" + std::string(100000, 'a') + "\r\nk=v\r\n");
    EXPECT_EQ(TIniFile(dir.file("l.ini")).ReadString("s", "k", ""), "v");
    // A folder in place of the file reads as empty.
    EXPECT_EQ(TIniFile(dir.path()).ReadString("s", "k", "d"), "d");
}

TEST(PlainStore, BothFormsOfATaskKeepTheWholeValue)
{
    // A long rule list (GBK text, blanks inside) and a key after it, in both forms.
    std::string rules = "ruledata2=";
    while (rules.size() < 100000)
        rules += text::utf8ToGbk("前标识符 <td class=x>^");
    const std::string value = rules.substr(std::string("ruledata2=").size());
    const std::vector<std::string> lines = {"[rule]", "ruleSplit=^", rules, "rowcount=7"};
    TempDir dir;
    std::string plainText;
    std::vector<std::string> cipher;
    for (const auto& l : lines) {
        plainText += l + "\r\n";
        cipher.push_back(store::EncryptLine(l, store::storeKey()));
    }
    test::writeFile(dir.file("plain.tak"), plainText);
    store::SaveCompressedLines(cipher, dir.file("enc.tak"));

    TIniFile plain(dir.file("plain.tak"));
    store::TEncryptInifile plainMode(dir.file("plain.tak"));
    store::TEncryptInifile container(dir.file("enc.tak"));
    ASSERT_TRUE(plainMode.plainMode());
    ASSERT_FALSE(container.plainMode());
    // Compared without printing: a failure shows the lengths.
    EXPECT_EQ(plain.ReadString("rule", "ruledata2", "").size(), value.size());
    EXPECT_TRUE(plain.ReadString("rule", "ruledata2", "") == value);
    EXPECT_TRUE(plainMode.ReadString("rule", "ruledata2", "") == value);
    EXPECT_TRUE(container.ReadString("rule", "ruledata2", "") == value);
    EXPECT_EQ(plainMode.ReadInteger("rule", "rowcount", 0), 7);
    EXPECT_EQ(container.ReadInteger("rule", "rowcount", 0), 7);

    // A long default is given back whole as well.
    const std::string longDefault(7000, 'd');
    EXPECT_TRUE(plain.ReadString("rule", "missing", longDefault) == longDefault);
}

TEST(PlainStore, ABigFileWithAHugeValueLoadsAndReadsQuickly)
{
    TempDir dir;
    std::string body = "[master]\r\n";
    for (int i = 0; body.size() < (1u << 20); ++i)
        body += "key" + std::to_string(i) + "=value " + std::to_string(i) + "\r\n";
    const std::string huge(2u << 20, 'h');
    body += "[rule]\r\nruledata0=" + huge + "\r\nrowcount=3\r\n";
    test::writeFile(dir.file("big.ini"), body);

    const auto start = std::chrono::steady_clock::now();
    TIniFile ini(dir.file("big.ini"));
    const std::string read = ini.ReadString("rule", "ruledata0", "");
    const int rows = ini.ReadInteger("rule", "rowcount", 0);
    const std::string first = ini.ReadString("master", "key0", "");
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(read.size(), huge.size());
    EXPECT_TRUE(read == huge);
    EXPECT_EQ(rows, 3);
    EXPECT_EQ(first, "value 0");
    // About a tenth of this under the sanitizers.
    EXPECT_LT(took, std::chrono::seconds(1)) << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
}
