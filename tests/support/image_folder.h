// A machine image in a temporary folder, for the tests of the image loader.
#ifndef QL_TEST_IMAGE_FOLDER_H
#define QL_TEST_IMAGE_FOLDER_H

#include <winsim/machine.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

// A machine image whose description is `description`; the folder goes with
// the object.
class DescribedImage {
public:
    explicit DescribedImage(const std::string &description) {
        char tmpl[] = "/tmp/qlimage-XXXXXX";
        dir_ = mkdtemp(tmpl);
        std::ofstream(std::filesystem::path(dir_) / "machine.ini", std::ios::binary) << description;
    }
    ~DescribedImage() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    DescribedImage(const DescribedImage &) = delete;
    DescribedImage &operator=(const DescribedImage &) = delete;

    // The world holds only this machine afterwards.
    winsim::Machine &Load() {
        winsim::ResetWorld();
        return winsim::LoadMachineImage(dir_);
    }
    // What the loader refuses the image with; empty when it loads.
    std::string Error() {
        try {
            Load();
        } catch (const winsim::ImageError &e) {
            return e.what();
        }
        return "";
    }

private:
    std::string dir_;
};

#endif
