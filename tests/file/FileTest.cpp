#include "file/File.h"
#include "file/File_Bundle.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/stat.h>

namespace
{
struct SplitCase
{
    const char* path;
    const char* name;
    const char* dir;
    const char* ext;
};

class ResourceDirectory
{
  public:
    explicit ResourceDirectory(const std::string& dir)
        : m_sSaved(File_Bundle::GetResourceDirectory())
    {
        File_Bundle::SetResourceDirectory(dir);
    }
    ~ResourceDirectory() { File_Bundle::SetResourceDirectory(m_sSaved); }

  private:
    std::string m_sSaved;
};
} // namespace

TEST(File, SplitFilePathCutsNameDirectoryAndExtension)
{
    const SplitCase cases[] = {
        {"data/fonts/oldsans18.fnt", "oldsans18", "data/fonts", "fnt"},
        {"blsaw", "blsaw", "", ""},
        {"a.b/c", "a", "", "b/c"},
        {"dir\\file.png", "file", "dir", "png"},
        {"data/lava.png", "lava", "data", "png"},
        {"Default.png", "Default", "", "png"},
        {"", "", "", ""},
    };
    for (const SplitCase& c : cases)
    {
        SCOPED_TRACE(c.path);
        char* name = nullptr;
        char* dir = nullptr;
        char* ext = nullptr;
        char* copy = File::SplitFilePath(c.path, &name, &dir, &ext);
        EXPECT_STREQ(name, c.name);
        EXPECT_STREQ(dir, c.dir);
        EXPECT_STREQ(ext, c.ext);
        delete[] copy;
    }
    // Out pointers may be left null.
    char* name = nullptr;
    char* copy = File::SplitFilePath("x/y.z", &name, nullptr, nullptr);
    EXPECT_STREQ(name, "y");
    delete[] copy;
}

TEST(File, ResourcesResolveByBareName)
{
    zindle_test::TempDir dir;
    zindle_test::WriteFile(dir / "blsaw.dat", "0123456789");
    zindle_test::WriteFile(dir / "oldsans18.fnt", "font");
    ResourceDirectory resources(dir.Path().string());

    for (const char* path : {"data/blsaw.dat", "blsaw.dat", "some/where/else/blsaw.dat"})
    {
        SCOPED_TRACE(path);
        std::unique_ptr<File> file(File::Open(path, true));
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(file->Length(), 10u);
    }
    std::unique_ptr<File> font(File::Open("data/fonts/oldsans18.fnt", true));
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->Length(), 4u);

    EXPECT_EQ(File::Open("data/missing.png", true), nullptr);
    EXPECT_EQ(File::Open("data/blsaw", true), nullptr) << "the extension is part of the name";
    EXPECT_EQ(File_Bundle::ResolvePath("data/fonts/oldsans18.fnt"),
              (dir / "oldsans18.fnt").string());

    // Only a regular file of at most 64 MiB is a resource; anything else is
    // left out with one line, once, and a pipe without a writer is not waited on.
    std::filesystem::create_directory(dir / "folder.png");
    ASSERT_EQ(mkfifo((dir / "pipe.png").c_str(), 0600), 0);
    zindle_test::WriteFile(dir / "huge.png", "");
    std::filesystem::resize_file(dir / "huge.png", (64u << 20) + 1);
    testing::internal::CaptureStderr();
    for (const char* path : {"data/folder.png", "data/pipe.png", "data/huge.png", "folder.png"})
        EXPECT_EQ(File::Open(path, true), nullptr) << path;
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 3) << log;
    for (const char* line :
         {"folder.png: Is a directory; left out", "pipe.png: not a regular file; left out",
          "huge.png: larger than 64 MiB; left out"})
        EXPECT_NE(log.find(line), std::string::npos) << log;
}

TEST(File, ReadsExactlyAndReportsTheEnd)
{
    zindle_test::TempDir dir;
    zindle_test::WriteFile(dir / "ten.bin", "0123456789");
    ResourceDirectory resources(dir.Path().string());

    std::unique_ptr<File> file(File::Open("ten.bin", true));
    ASSERT_NE(file, nullptr);
    char buffer[16] = {};
    EXPECT_TRUE(file->Read(buffer, 4));
    EXPECT_EQ(std::string(buffer, 4), "0123");
    EXPECT_EQ(file->Pos(), 4);
    EXPECT_FALSE(file->Eof());
    EXPECT_EQ(file->Length(), 10u) << "the length stays the file's size after reads";

    EXPECT_TRUE(file->Seek(-2, 2));
    EXPECT_EQ(file->Pos(), 8);
    EXPECT_FALSE(file->Read(buffer, 4)) << "a short read fails";
    EXPECT_TRUE(file->Eof());

    EXPECT_TRUE(file->Seek(0, 0));
    EXPECT_TRUE(file->Read(buffer, 10));
    EXPECT_FALSE(file->Read(buffer, -1));
}

TEST(File, WritesToTheLiteralPath)
{
    zindle_test::TempDir dir;
    const std::string path = (dir / "out.bin").string();
    {
        std::unique_ptr<File> file(File::Open(path.c_str(), false));
        ASSERT_NE(file, nullptr);
        char data[] = "hello";
        EXPECT_TRUE(file->Write(data, 5));
    }
    EXPECT_EQ(zindle_test::ReadFile(path), "hello");
    EXPECT_EQ(File::Open((dir / "no" / "such" / "dir.bin").c_str(), false), nullptr);
}
