// Packs samples/demo into the demo archive (placeholder until the writer lands).
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_demo SOURCE_DIR ARCHIVE\n");
        return 2;
    }
    std::FILE* out = std::fopen(argv[2], "wb");
    if (!out) return 1;
    std::fclose(out);
    return 0;
}
