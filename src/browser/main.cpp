// Program entry (placeholder until the browser lands).
#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "Usage: dirrip <dir-file>\n\n");
        return 0;
    }
    (void)argv;
    return 0;
}
