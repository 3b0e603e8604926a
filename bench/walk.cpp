// Counts the files under a folder with the tree walk, for timing the walk against find(1).
//   qv_walk FOLDER [MASK]
#include "search/TreeWalker.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fputs("usage: qv_walk FOLDER [MASK]\n", stderr);
        return 2;
    }
    qv::TreeWalker walker;
    unsigned long files = 0;
    walker.onFile = [&](const std::shared_ptr<const qv::OpenFolder>&, const std::string&, bool) { ++files; };
    walker.walk(argv[1], argc > 2 ? argv[2] : "*.*", true);
    std::printf("%lu\n", files);
    return 0;
}
