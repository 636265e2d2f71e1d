// What a machine image may not be: a folder without its description, or a
// folder holding special files (a FIFO would block the loader, a device
// could feed it endless data). Each is refused with the path it concerns.
#include <gtest/gtest.h>

#include <winsim/machine.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class Image {
public:
    Image() {
        char tmpl[] = "/tmp/qlrefuse-XXXXXX";
        dir_ = mkdtemp(tmpl);
    }
    ~Image() {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string Path(const std::string &rel) const { return (fs::path(dir_) / rel).string(); }
    void Write(const std::string &rel, const std::string &text) {
        fs::create_directories(fs::path(Path(rel)).parent_path());
        std::ofstream(Path(rel), std::ios::binary) << text;
    }
    void Fifo(const std::string &rel) {
        fs::create_directories(fs::path(Path(rel)).parent_path());
        ASSERT_EQ(mkfifo(Path(rel).c_str(), 0600), 0) << rel;
    }
    const std::string &Dir() const { return dir_; }

private:
    std::string dir_;
};

std::string LoadError(const std::string &folder) {
    winsim::ResetWorld();
    try {
        winsim::LoadMachineImage(folder);
    } catch (const winsim::ImageError &e) {
        EXPECT_FALSE(winsim::HasLocalMachine()) << e.what();
        return e.what();
    }
    return "(loaded)";
}

TEST(ImageRefusals, AFolderWithoutMachineIniIsNoImage) {
    Image img;
    img.Write("files/C/README.TXT", "hello");
    EXPECT_EQ(LoadError(img.Dir()), img.Dir() + ": no machine.ini: not a machine image folder");
}

TEST(ImageRefusals, SpecialFilesAreNamedAndNeverRead) {
    const char *kRefused = "not a regular file (FIFOs, devices and sockets are refused, never read)";
    {
        Image img;
        img.Fifo("machine.ini");
        EXPECT_EQ(LoadError(img.Dir()), img.Path("machine.ini") + ": " + kRefused);
    }
    {
        Image img;
        img.Write("machine.ini", "[machine]\nname=A\n");
        img.Fifo("registry/10-pipe.reg");
        EXPECT_EQ(LoadError(img.Dir()), img.Path("registry/10-pipe.reg") + ": " + kRefused);
    }
    {
        Image img;
        img.Write("machine.ini", "[machine]\nname=A\n");
        img.Write("files/C/WINNT/HOST.INI", "[Host]\n");
        img.Fifo("files/C/WINNT/PIPE.LOG");
        EXPECT_EQ(LoadError(img.Dir()), img.Path("files/C/WINNT/PIPE.LOG") + ": " + kRefused);
    }
    {
        // A link to a device is the device.
        Image img;
        img.Write("machine.ini", "[machine]\nname=A\n");
        fs::create_directories(img.Path("files/C"));
        fs::create_symlink("/dev/zero", img.Path("files/C/ZERO.DAT"));
        EXPECT_EQ(LoadError(img.Dir()), img.Path("files/C/ZERO.DAT") + ": " + kRefused);
    }
}

TEST(ImageRefusals, AnImageWithOnlyItsDescriptionLoads) {
    Image img;
    img.Write("machine.ini", "[machine]\nname=bare\n");
    winsim::ResetWorld();
    EXPECT_EQ(winsim::LoadMachineImage(img.Dir()).name, "BARE");
}

}  // namespace
