#include <cstdio>

int main()
{
    std::puts("Provix: the desktop shell is not built yet.");
    return 0;
}
