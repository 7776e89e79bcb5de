#include "config/ini/CIniEx.h"
#include "config/ini/CPrivateProfile.h"

#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace veltra {
namespace {

namespace fs = std::filesystem;

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "veltra-ini-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ec;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
    fs::path operator/(const std::string& name) const { return path_ / name; }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const fs::path& p, const std::string& text) {
    std::ofstream out(p, std::ios::binary);
    out << text;
}

int entriesIn(const fs::path& dir) {
    int n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir)) {
        ++n;
    }
    return n;
}

TEST(IniParse, Lookup) {
    struct Case {
        const char* text;
        const char* section;
        const char* key;
        const char* expected;
    };
    const Case cases[] = {
        {"[Prefix]\nCount=1\nCount=2\n", "Prefix", "Count", "2"},
        {"[Data] \nA=1\n", "Data", "A", "1"},
        {"[Data]\t\r\nA=1\r\n", "Data", "A", "1"},
        {" [Data]\nA=1\n", "Data", "A", "<default>"},
        {" [Data]\nA=1\n", "", "A", "1"},
        {"A=0\n[Data]\nA=1\n", "", "A", "0"},
        {"[data]\nA=1\n", "Data", "a", "1"},
        {"[Data]\nZykluszeit = 300\n", "Data", "Zykluszeit", "300"},
        {"[Data]\nA=\t5\n", "Data", "A", "\t5"},
        {"[Data]\nA=x \t\r\n", "Data", "A", "x"},
        {"[Data]\nA\t=1\n", "Data", "A", "<default>"},
        {"[Data]\nA=b=c\n", "Data", "A", "b=c"},
        {"[Data]\nA\n", "Data", "A", ""},
        {"[S]\nA=1\n[S]\nA=2\n", "S", "A", "1"},
        {"[S]\n;A=1\n", "S", ";A=1", "<default>"},
        {"[S]\n;A=1\n", "S", "A", "<default>"},
        {"[S]\nA=1", "S", "A", "1"},
        {"[Einzelbl\xF6"
         "cke]\nA=1\n",
         "Einzelbl\xF6"
         "cke",
         "A", "1"},
        {"[Einzelbl\xF6"
         "cke]\nA=1\n",
         "Einzelbl\xD6"
         "cke",
         "A", "<default>"},
        {"[]\nA=1\n", "", "A", "1"},
        {"[\nA=1\n", "", "A", "1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        CIniEx ini;
        ini.parse(c.text);
        EXPECT_EQ(ini.readString(c.section, c.key, "<default>"), c.expected);
    }
}

TEST(IniParse, CaseSensitiveWhenAsked) {
    TempDir dir;
    writeFile(dir / "a.ini", "[Data]\nKey=1\n");
    CIniEx ini;
    ASSERT_TRUE(ini.open((dir / "a.ini").string(), false, false, /*ignoreCase=*/false));
    EXPECT_EQ(ini.readString("data", "Key", "-"), "-");
    EXPECT_EQ(ini.readString("Data", "key", "-"), "-");
    EXPECT_EQ(ini.readString("Data", "Key", "-"), "1");
}

TEST(IniParse, ReadInt) {
    struct Case {
        const char* value; // nullptr: key missing
        int expected;
    };
    const Case cases[] = {
        {"42", 42},
        {" 42", 42},
        {"-7", -7},
        {"12abc", 12},
        {"abc", 0},
        {"", 0},
        {"300", 300},
        {"+5", 5},
        {"99999999999", INT_MAX},
        {"-99999999999", INT_MIN},
        {nullptr, -123},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value ? c.value : "(missing)");
        CIniEx ini;
        ini.parse(c.value ? std::string("[S]\nK=") + c.value + "\n" : std::string("[S]\n"));
        EXPECT_EQ(ini.readInt("S", "K", -123), c.expected);
    }
}

TEST(IniWrite, ModifiedFlagAndPlacement) {
    struct Case {
        const char* before;
        const char* section;
        const char* key;
        const char* value;
        bool modified;
        const char* after;
    };
    const Case cases[] = {
        {"[S]\nA=1\n", "S", "A", "1", false, "[S]\r\nA=1\r\n"},
        {"[S]\nA=abc\n", "s", "a", "ABC", false, "[S]\r\nA=ABC\r\n"},
        {"[S]\nA=1\n", "S", "A", "2", true, "[S]\r\nA=2\r\n"},
        {"[S]\nCount=5\nCount=7\n", "S", "Count", "2", true, "[S]\r\nCount=5\r\nCount=2\r\n"},
        {"[S]\nA=1\n[T]\nB=2\n", "S", "C", "3", true, "[S]\r\nA=1\r\nC=3\r\n[T]\r\nB=2\r\n"},
        {"[S]\nA=1\n", "New", "K", "v", true, "[S]\r\nA=1\r\n[New]\r\nK=v\r\n"},
        {"; head\n[S]\n;c=1\nA=1\n\nraw\n", "S", "A", "1", false,
         "; head\r\n[S]\r\n;c=1\r\nA=1\r\n\r\nraw=\r\n"},
        {"[S]\n", "S", "A", "two\r\n[lines]", true, "[S]\r\nA=two\r [lines]\r\n"},
        {"[A]\nx=1\n[]\ny=2\n", "A", "x", "1", false, "[A]\r\nx=1\r\n[]\r\ny=2\r\n"},
        {"[S]\n=2\n==3\n=\n", "S", "", "9", true, "[S]\r\n=2\r\n==3\r\n=9\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before);
        CIniEx ini;
        ini.parse(c.before);
        ini.writeString(c.section, c.key, c.value);
        EXPECT_EQ(ini.isModified(), c.modified);
        EXPECT_EQ(ini.toText(), c.after);
        // The document written reads back the same.
        CIniEx again;
        again.parse(ini.toText());
        EXPECT_EQ(again.toText(), ini.toText());
    }
}

TEST(IniWrite, WriteIntFormatsDecimal) {
    CIniEx ini;
    ini.writeInt("Data", "Zykluszeit", -1200);
    EXPECT_EQ(ini.readString("Data", "Zykluszeit"), "-1200");
    EXPECT_EQ(ini.readInt("Data", "Zykluszeit", 0), -1200);
}

TEST(IniFile, OpenMissingFile) {
    TempDir dir;
    const fs::path p = dir / "missing.mkr";
    CIniEx readOnly;
    EXPECT_FALSE(readOnly.open(p.string(), false, false));
    EXPECT_FALSE(readOnly.errorText().empty());
    EXPECT_EQ(readOnly.readInt("Data", "Count", 7), 7);
    EXPECT_FALSE(fs::exists(p));

    CIniEx created;
    EXPECT_TRUE(created.open(p.string(), true, true));
    EXPECT_TRUE(fs::exists(p));
    EXPECT_EQ(fs::file_size(p), 0u);
}

TEST(IniFile, SavingKeepsOtherKeysAndUnchangedFileIsNotTouched) {
    TempDir dir;
    const fs::path p = dir / "conf.mkr";
    writeFile(p, "[Prefix]\nCount=5\nAscii4=13\n[Data2]\nLaenge=8\n");
    {
        CPrivateProfile profile(p.string());
        profile.writeInt("Prefix", "Count", 5);
    }
    EXPECT_EQ(readFile(p), "[Prefix]\nCount=5\nAscii4=13\n[Data2]\nLaenge=8\n")
        << "writing the same value must not rewrite the file";
    {
        CPrivateProfile profile(p.string());
        profile.writeInt("Prefix", "Count", 2);
    }
    EXPECT_EQ(readFile(p), "[Prefix]\r\nCount=2\r\nAscii4=13\r\n[Data2]\r\nLaenge=8\r\n");
    EXPECT_EQ(entriesIn(dir.path()), 1) << "no temporary file left behind";
}

TEST(IniFile, ReopeningWritesTheFirstFileBack) {
    TempDir dir;
    writeFile(dir / "a.ini", "[S]\nA=1\n");
    writeFile(dir / "b.ini", "[S]\nA=2\n");
    CIniEx ini;
    ASSERT_TRUE(ini.open((dir / "a.ini").string(), true, false));
    ini.writeInt("S", "A", 10);
    ASSERT_TRUE(ini.open((dir / "b.ini").string(), false, false));
    EXPECT_EQ(readFile(dir / "a.ini"), "[S]\r\nA=10\r\n");
    EXPECT_EQ(ini.readInt("S", "A", 0), 2);
    ini.writeInt("S", "A", 20);
    ini.close();
    EXPECT_EQ(readFile(dir / "b.ini"), "[S]\nA=2\n") << "opened without write-back";
}

TEST(IniFile, BackupNumbering) {
    TempDir dir;
    const fs::path p = dir / "conf.mkr";
    writeFile(p, "[S]\nA=1\n");
    writeFile(dir / "conf.mkr.004", "old");
    writeFile(dir / "other.mkr.009", "unrelated");
    CIniEx ini;
    ASSERT_TRUE(ini.open(p.string(), true, false, true, /*backupOnWrite=*/true));
    ini.writeInt("S", "A", 2);
    const std::string backup = ini.write();
    EXPECT_EQ(backup, p.string() + ".005");
    EXPECT_EQ(readFile(backup), "[S]\nA=1\n");
    ini.writeInt("S", "A", 3);
    EXPECT_EQ(ini.write(), backup) << "the backup name is chosen once per object";
    EXPECT_EQ(readFile(backup), "[S]\r\nA=2\r\n");
    EXPECT_EQ(ini.write(), "") << "nothing modified, nothing written";
}

TEST(IniFile, KeepsPermissionsAndSymlinks) {
    TempDir dir;
    const fs::path real = dir / "real.mkr";
    const fs::path link = dir / "link.mkr";
    writeFile(real, "[S]\nA=1\n");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(real, link);
    {
        CPrivateProfile profile(link.string());
        profile.writeInt("S", "A", 2);
    }
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readFile(real), "[S]\r\nA=2\r\n");
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST(IniFile, NewFileGetsUmaskPermissions) {
    TempDir dir;
    const fs::path p = dir / "new.mkr";
    const mode_t old = ::umask(027);
    {
        CIniEx ini;
        ASSERT_TRUE(ini.open(p.string(), true, true));
        fs::remove(p); // written from scratch, not over the file opening created
        ini.writeInt("S", "A", 1);
        ini.write();
        EXPECT_FALSE(ini.writeFailed());
    }
    ::umask(old);
    EXPECT_EQ(fs::status(p).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST(IniFile, RootKeepsTheOwnerOfAUsersFile) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can give a file away";
    }
    TempDir dir;
    const fs::path p = dir / "users.mkr";
    writeFile(p, "[S]\nA=1\n");
    ASSERT_EQ(::chown(p.c_str(), 65534, 65534), 0);
    {
        CPrivateProfile profile(p.string());
        profile.writeInt("S", "A", 2);
    }
    struct stat st {};
    ASSERT_EQ(::stat(p.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
    EXPECT_EQ(readFile(p), "[S]\r\nA=2\r\n");
}

TEST(IniFile, FailedWriteLeavesOriginalIntact) {
    TempDir dir;
    const fs::path p = dir / "conf.mkr";
    const std::string original = "[Prefix]\nCount=1\nAscii0=13\n";
    writeFile(p, original);

    CIniEx ini;
    ASSERT_TRUE(ini.open(p.string(), true, false));
    ini.writeString("Data", "Big", std::string(64 * 1024, 'x'));

    // A full disk: the process may not grow any file beyond 1 KiB.
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string backup = ini.write();
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &old), 0);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_TRUE(backup.empty());
    EXPECT_TRUE(ini.writeFailed());
    EXPECT_TRUE(ini.isModified()) << "the changes are still unsaved";
    EXPECT_FALSE(ini.errorText().empty());
    EXPECT_LE(ini.errorText().size(), CIniEx::kMaxErrorText);
    EXPECT_EQ(readFile(p), original);
    EXPECT_EQ(entriesIn(dir.path()), 1) << "the temporary file is removed";

    // With room again the same object saves.
    ini.write();
    EXPECT_FALSE(ini.writeFailed());
    EXPECT_NE(readFile(p).find("Count=1"), std::string::npos);
}

TEST(IniFile, FailedWriteWhenFolderIsGone) {
    TempDir dir;
    const fs::path sub = dir / "sub";
    fs::create_directory(sub);
    CIniEx ini;
    ASSERT_TRUE(ini.open((sub / "new.mkr").string(), true, true));
    ini.writeInt("S", "A", 1);
    fs::remove_all(sub);
    ini.write();
    EXPECT_TRUE(ini.writeFailed());
    EXPECT_TRUE(ini.isModified());
    EXPECT_FALSE(fs::exists(sub));
}

TEST(IniFile, FailedWriteInReadOnlyFolder) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root may write into any folder";
    }
    TempDir dir;
    const fs::path p = dir / "conf.mkr";
    writeFile(p, "[S]\nA=1\n");
    CIniEx ini;
    ASSERT_TRUE(ini.open(p.string(), true, false));
    ini.writeInt("S", "A", 2);
    fs::permissions(dir.path(), fs::perms::owner_write, fs::perm_options::remove);
    ini.write();
    fs::permissions(dir.path(), fs::perms::owner_write, fs::perm_options::add);
    EXPECT_TRUE(ini.writeFailed());
    EXPECT_EQ(readFile(p), "[S]\nA=1\n");
}

TEST(IniFile, WriteProtectedFileStaysAsItIs) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root may write any file";
    }
    TempDir dir;
    const fs::path p = dir / "conf.mkr";
    writeFile(p, "[S]\nA=1\n");
    fs::permissions(p, fs::perms::owner_read);
    CIniEx ini;
    ASSERT_TRUE(ini.open(p.string(), true, false));
    ini.writeInt("S", "A", 2);
    ini.write();
    EXPECT_TRUE(ini.writeFailed());
    EXPECT_EQ(readFile(p), "[S]\nA=1\n");
    ini.close();
    EXPECT_EQ(readFile(p), "[S]\nA=1\n");
}

TEST(IniFile, FileHeldByAnotherProcessFailsAfterBoundedWait) {
    TempDir dir;
    const fs::path p = dir / "locked.mkr";
    writeFile(p, "[S]\nA=1\n");
    const int holder = ::open(p.c_str(), O_RDONLY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    CIniEx ini;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ini.open(p.string(), false, false));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_LT(waited, std::chrono::seconds(10));
    EXPECT_FALSE(ini.errorText().empty());
    ::flock(holder, LOCK_UN);
    EXPECT_TRUE(ini.open(p.string(), false, false));
    ::close(holder);
}

TEST(IniFile, UnreadableFileIsNeverOverwritten) {
    TempDir dir;
    const fs::path p = dir / "locked.mkr";
    writeFile(p, "[S]\nA=1\nB=2\n");
    const int holder = ::open(p.c_str(), O_RDONLY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    {
        CPrivateProfile profile(p.string());
        EXPECT_TRUE(profile.path().empty());
        profile.writeInt("S", "A", 5);
        EXPECT_TRUE(profile.write().empty());
        EXPECT_TRUE(profile.writeFailed());
    }
    ::close(holder);
    EXPECT_EQ(readFile(p), "[S]\nA=1\nB=2\n");
}

TEST(IniFile, OnlyRegularFilesAreRead) {
    TempDir dir;
    const fs::path fifo = dir / "pipe.mkr";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const fs::path& p : {dir.path(), fifo}) {
        SCOPED_TRACE(p.string());
        CIniEx ini;
        EXPECT_FALSE(ini.open(p.string(), false, false)) << "must fail, not block";
        EXPECT_FALSE(ini.errorText().empty());
    }
}

} // namespace
} // namespace veltra
