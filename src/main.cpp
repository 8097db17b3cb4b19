// Corvalin's program start.
#include <cstdio>

int main()
{
    std::puts("Corvalin " CORVALIN_VERSION);
    return 0;
}
