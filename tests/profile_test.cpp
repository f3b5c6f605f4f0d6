#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "report/profile_file.h"
#include "report/settings.h"
#include "profile_helpers.h"
#include "test_support.h"

using namespace kovirant;

namespace {
const char* kSample =
    "; top comment\r\n\r\n[Sec]\r\n  key1  =  value one  \r\nKEY2=\"quoted\"\r\n\r\n[other]\r\nx=1\r\n"
    "[sec]\r\nkey3=dup\r\n";
}

TEST(Profile, ReadsAsWindowsDoes) {
    Profile p = Profile::parse(kSample);
    struct Case {
        const char* section;
        const char* key;
        const char* def;
        std::size_t capacity;
        const char* expected;
    } cases[] = {
        {"sec", "key1", "d", 100, "value one"},  // names without case, blanks trimmed
        {" SEC ", "key2", "d", 100, "quoted"},   // quotes removed
        {"sec", "key3", "d", 100, "d"},          // only the first matching section counts
        {"sec", "none", "def  ", 100, "def"},    // default loses its trailing blanks
        {"sec", "key2", "d", 7, "quote"},        // a cut quoted value loses one more character
        {"sec", "key2", "d", 8, "quoted"},
        {"sec", "key1", "d", 4, "val"},
        {"nosec", "k", "\"qd\"", 100, "qd"},
        {"sec", "key1", "d", 1, ""},
        {"sec", "key1", "d", 0, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(profileValue(p, c.section, c.key, c.def, c.capacity), c.expected) << c.section << "/" << c.key;
}

TEST(Profile, LinesWithoutEqualsAndBrokenHeadersAreKeptButHaveNoValue) {
    Profile p = Profile::parse("[s]\nk=v\n[bad\nk2=v2\n=noname\nnoeq\n");
    EXPECT_EQ(profileValue(p, "s", "k2", "d", 100), "v2");
    EXPECT_EQ(profileValue(p, "s", "[bad", "d", 100), "d");
    EXPECT_EQ(profileValue(p, "s", "", "d", 100), "noname");
    EXPECT_EQ(profileValue(p, "s", "noeq", "d", 100), "d");
    EXPECT_EQ(p.serialize(), "[s]\r\nk=v\r\n[bad\r\nk2=v2\r\n=noname\r\nnoeq\r\n");
}

TEST(Profile, JunkIsReadWithoutCrashing) {
    std::string junk;
    for (int i = 0; i < 5000; ++i) junk += static_cast<char>((i * 7919) % 256);
    junk += std::string(100000, 'x') + "\n[ADATLAP\nCnev=\0zz" + std::string("\n[x]\nk=v");
    Profile p = Profile::parse(junk);
    EXPECT_EQ(profileValue(p, "x", "k", "d", 100), "v");
    EXPECT_EQ(profileValue(p, "ADATLAP", "Cnev", "d", 100), "d");
}

TEST(ProfileFile, WriteCreatesSectionAndKeysInOrderAndKeepsOtherLines) {
    auto dir = freshTempDir("profile-write");
    auto file = dir / "Kovirant.ini";
    ASSERT_EQ(writeProfileString(file, "ADATLAP", "cim", "x"), 0);
    ASSERT_EQ(writeProfileString(file, "ADATLAP", "targy", "  y"), 0);
    EXPECT_EQ(readFile(file), "[ADATLAP]\r\ncim=x\r\ntargy=y\r\n");

    writeFile(file, "; keep me\n[GENERAL]\nmaxtk = 19\n[ADATLAP]\nCIM=old\n");
    ASSERT_EQ(writeProfileString(file, "adatlap", "cim", "new"), 0);
    EXPECT_EQ(readFile(file), "; keep me\r\n[GENERAL]\r\nmaxtk=19\r\n[ADATLAP]\r\nCIM=new\r\n");
    EXPECT_EQ(getProfileString(file, "GENERAL", "maxtk", "20", 128), "19");
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
}

TEST(ProfileFile, UnchangedValueLeavesTheFileAsItWas) {
    auto dir = freshTempDir("profile-same");
    auto file = dir / "a.ini";
    writeFile(file, "[s]\n k = v \n");
    ASSERT_EQ(writeProfileString(file, "s", "k", "v"), 0);
    EXPECT_EQ(readFile(file), "[s]\n k = v \n");
}

TEST(ProfileFile, WriteIntoMissingDirectoryReportsAnError) {
    auto dir = freshTempDir("profile-missing");
    EXPECT_NE(writeProfileString(dir / "no" / "a.ini", "s", "k", "v"), 0);
    EXPECT_EQ(getProfileString(dir / "no" / "a.ini", "s", "k", "dflt", 100), "dflt");
}

TEST(StartupSettings, DefaultsLimitsAndDataSheetFilled) {
    auto dir = freshTempDir("startup");
    StartupSettings s = readStartupSettings(dir);
    EXPECT_TRUE(s.pathFormed);
    EXPECT_EQ(s.settingsPath, dir / "Kovirant.ini");
    EXPECT_EQ(s.maxtk, 20);
    EXPECT_EQ(s.maxcf, 18);
    EXPECT_FALSE(s.DataSheetFilled);

    writeFile(dir / "Kovirant.ini", "[GENERAL]\nmaxtk=abc\nmaxcf= 12x\n[ADATLAP]\nCnev=\n");
    s = readStartupSettings(dir);
    EXPECT_EQ(s.maxtk, 0);
    EXPECT_EQ(s.maxcf, 12);
    EXPECT_FALSE(s.DataSheetFilled);  // present but empty

    writeFile(dir / "Kovirant.ini", "[ADATLAP]\nCnev=Bank Zrt.\n");
    EXPECT_TRUE(readStartupSettings(dir).DataSheetFilled);

    StartupSettings none = readStartupSettings(std::nullopt);
    EXPECT_FALSE(none.pathFormed);
    EXPECT_EQ(none.maxtk, 0);
    EXPECT_EQ(none.maxcf, 0);
    EXPECT_FALSE(none.DataSheetFilled);
}

TEST(SettingsFile, DataSheetKeysWithDefaultsAndCapacities) {
    auto dir = freshTempDir("datasheet-keys");
    SettingsFile s(dir / "Kovirant.ini");
    EXPECT_EQ(readDataSheetKey(s, "cim"), "Pénzintézeti jelentés");
    EXPECT_EQ(readDataSheetKey(s, "targy"), "Cégek pénzforgalmi számlaszám változásainak jelentése");
    EXPECT_EQ(readDataSheetKey(s, "kategoria"), "Kötelezettség");
    EXPECT_EQ(readDataSheetKey(s, "Unev"), "");
    writeFile(s.path(), "[ADATLAP]\nadoszam=1234567890\nCnev=" + std::string(600, 'n') + "\nkategoria=\n");
    EXPECT_EQ(readDataSheetKey(s, "adoszam", kAdoszamCapacity), "12345678");
    EXPECT_EQ(readDataSheetKey(s, "Cnev").size(), 511u);
    EXPECT_EQ(readDataSheetKey(s, "kategoria"), "");
    ASSERT_EQ(DataSheetKeys().size(), 23u);
    EXPECT_EQ(DataSheetKeys().front().key, "cim");
    EXPECT_EQ(DataSheetKeys().back().key, "szint");
}

// A settings file that is there but cannot be read (here a socket, which
// cannot be opened even by root) is never replaced by one built without it.
TEST(Profile, AFileThatCannotBeReadIsNotReplaced) {
    auto dir = freshTempDir("profile-unreadable");
    const auto file = dir / "Kovirant.ini";
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    ASSERT_LT(file.native().size(), sizeof addr.sun_path);
    std::strcpy(addr.sun_path, file.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    EXPECT_EQ(writeProfileString(file, "ADATLAP", "Cnev", "Bank"), ENXIO);
    EXPECT_EQ(std::filesystem::status(file).type(), std::filesystem::file_type::socket);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
    ::close(fd);
}
