#include <cstdio>
int main() { std::puts("tavro-run"); return 0; }
