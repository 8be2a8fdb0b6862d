#include <cstdio>

int main()
{
    std::fprintf(stderr, "tarn: the main window is not built yet; only the map engine's libraries and tests exist.\n");
    return 1;
}
