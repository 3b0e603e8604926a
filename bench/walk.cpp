// Counts the files under a folder with the tree scanner, for timing the walk against find(1).
//   qv_walk FOLDER [MASK]
#include "search/TreeScanner.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fputs("usage: qv_walk FOLDER [MASK]\n", stderr);
        return 2;
    }
    qv::TTreeScanner scanner;
    scanner.InitialDirectory = argv[1];
    scanner.FileMask = argc > 2 ? argv[2] : "*.*";
    unsigned long files = 0;
    scanner.OnFileFound = [&](qv::TTreeScanner&) { ++files; };
    scanner.Scan();
    std::printf("%lu\n", files);
    return 0;
}
