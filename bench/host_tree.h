// Trees of small files written straight on the host (not through winsim, and
// not timed): root/<top>NN/<middle>N/fileNN.dat.
#ifndef QL_BENCH_HOST_TREE_H
#define QL_BENCH_HOST_TREE_H

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

struct HostTreeShape {
    const char *top, *middle;  // folder name stems: "Dir", "Sub"
    int tops, middles, files;  // folders, subfolders of each, files in each subfolder
    size_t fileSize;
};

// Exits the benchmark program when the tree cannot be written.
inline void MakeHostTree(const std::string &root, const HostTreeShape &shape) {
    const std::string body(shape.fileSize, 'x');
    if (mkdir(root.c_str(), 0755) != 0) {
        perror(root.c_str());
        std::exit(1);
    }
    char dir[600], file[700];
    for (int d = 0; d < shape.tops; ++d) {
        snprintf(dir, sizeof dir, "%s/%s%02d", root.c_str(), shape.top, d);
        mkdir(dir, 0755);
        for (int s = 0; s < shape.middles; ++s) {
            snprintf(dir, sizeof dir, "%s/%s%02d/%s%d", root.c_str(), shape.top, d, shape.middle, s);
            mkdir(dir, 0755);
            for (int f = 0; f < shape.files; ++f) {
                snprintf(file, sizeof file, "%s/file%02d.dat", dir, f);
                int fd = open(file, O_WRONLY | O_CREAT | O_TRUNC, 0644);
                if (fd < 0 || write(fd, body.data(), body.size()) != (ssize_t)body.size()) {
                    perror(file);
                    std::exit(1);
                }
                close(fd);
            }
        }
    }
}

#endif
