// Stand-in for a program start: extracts the files appended to this executable into argv[1].
#include <cstdio>

#include "share/fileannote.h"

int main(int argc, char** argv)
{
    if (argc < 2) return 2;
    FileAnnote fa;
    int n = fa.ExtractAll(argv[0], argv[1]);
    std::printf("%d\n", n);
    return 0;
}
